#include "support/GitDouble.h"

#include "platform/ProcessRunner.h"

#include <QFile>
#include <QThread>

#include <stdexcept>

namespace tolvaran::fixtures {

namespace {

QString writeScript(const QString &path, const QString &body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(body.toUtf8()) < 0)
        throw std::runtime_error("could not write a git double");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// Single quotes for the shell; the paths come from our own temporary folders.
QString quoted(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

} // namespace

QString GitDouble::recording(const QString &folder, const QString &logPath)
{
    const QString realGit =
        ProcessRunner::findExecutable(QStringLiteral("git"), {QStringLiteral("/usr/bin/git")});
    return writeScript(folder + QStringLiteral("/recording-git"),
                       QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$*\" >> %1\nexec %2 \"$@\"\n")
                           .arg(quoted(logPath), quoted(realGit)));
}

QString GitDouble::hanging(const QString &folder, const QString &pidPath)
{
    return writeScript(folder + QStringLiteral("/hanging-git"),
                       QStringLiteral("#!/bin/sh\ntrap '' TERM\nsleep 600 &\n"
                                      "printf '%s\\n%s\\n' $$ $! > %1\nwait\n")
                           .arg(quoted(pidPath)));
}

QStringList GitDouble::loggedRuns(const QString &logPath)
{
    QFile file(logPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool GitDouble::processEnds(qint64 pid)
{
    for (int attempt = 0; attempt < 400; ++attempt) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z "))
            return true;
        QThread::msleep(50);
    }
    return false;
}

} // namespace tolvaran::fixtures
