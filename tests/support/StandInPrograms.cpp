#include "support/StandInPrograms.h"

#include "support/ScopedEnvironment.h"
#include "support/TemporaryHome.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <stdexcept>

namespace tolvaran::fixtures {

namespace {

const QString kDoneSuffix = QStringLiteral(".done");

} // namespace

QString shellQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString writeScript(const QString &directory, const QString &name, const QString &body)
{
    const QString path = directory + QLatin1Char('/') + name;
    QFile file(path);
    const QByteArray contents = QByteArrayLiteral("#!/bin/sh\n") + body.toUtf8();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(contents) != contents.size())
        throw std::runtime_error("could not write a stand-in program");
    file.close();
    if (!file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        throw std::runtime_error("could not make a stand-in program executable");
    return path;
}

QString writeRecordingProgram(const QString &directory, const QString &name,
                              const QString &recordPath, bool runsCommandAfterDashE)
{
    // Shell built-ins only, so the program works whatever PATH the test sets. The record is
    // NUL-separated (arguments may hold line feeds); the marker file says it is complete.
    QString body = QStringLiteral("printf '%s\\0' \"$(pwd -P)\" \"$@\" > %1\n: > %2\n")
                       .arg(shellQuoted(recordPath), shellQuoted(recordPath + kDoneSuffix));
    if (runsCommandAfterDashE)
        body += QStringLiteral("if [ \"$1\" = -e ]; then shift; exec \"$@\"; fi\n");
    return writeScript(directory, name, body);
}

std::optional<ProgramRecord> waitForRecord(const QString &recordPath,
                                           std::chrono::milliseconds deadline)
{
    const QDeadlineTimer timer(deadline);
    while (!QFileInfo::exists(recordPath + kDoneSuffix)) {
        if (timer.hasExpired())
            return std::nullopt;
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    QFile file(recordPath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray text = file.readAll();
    if (text.endsWith('\0'))
        text.chop(1);
    const QList<QByteArray> parts = text.split('\0');
    ProgramRecord record;
    record.workingDirectory = QString::fromUtf8(parts.value(0));
    for (qsizetype i = 1; i < parts.size(); ++i)
        record.arguments << QString::fromUtf8(parts[i]);
    return record;
}

QString copyOfSleep(const QString &directory, const QString &name)
{
    const QString path = directory + QLatin1Char('/') + name;
    if (!QFile::copy(QStringLiteral("/bin/sleep"), path)
        || !QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner))
        throw std::runtime_error("could not copy the sleep program");
    return path;
}

QString useOnlyStandInPrograms(const TemporaryHome &home, ScopedEnvironment &environment)
{
    const QString bin = home.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    environment.set("PATH", QFile::encodeName(bin));
    environment.unset("TERMINAL");
    return bin;
}

QString useOnlyStandInCodex(const TemporaryHome &home, ScopedEnvironment &environment)
{
    const QString bin = useOnlyStandInPrograms(home, environment);
    environment.set("HOME", QFile::encodeName(home.path()));
    environment.unset("NPM_CONFIG_PREFIX");
    environment.unset("npm_config_prefix");
    return bin;
}

} // namespace tolvaran::fixtures
