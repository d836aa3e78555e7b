#include "update/UpdateLeftovers.h"

#include "update/AppUpdateInstaller.h"

#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tolvaran::UpdateLeftovers {

namespace {

// A command line is a few hundred bytes; only its first words matter.
constexpr qint64 maximumCommandLineBytes = 64 * 1024;

// launchHelper's command line: /bin/sh SCRIPT PID RUNNING ...
constexpr qsizetype scriptWord = 1;
constexpr qsizetype runningWord = 3;

} // namespace

bool installerRunsFor(const QString &folder)
{
    const QByteArray running = QFile::encodeName(folder);
    const QByteArray script = '/' + QFile::encodeName(AppUpdateInstaller::scriptFileName);
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &process : processes) {
        bool isNumber = false;
        process.toLongLong(&isNumber);
        if (!isNumber)
            continue;
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(process));
        if (!commandLine.open(QIODevice::ReadOnly))
            continue; // ended meanwhile
        const QByteArrayList words = commandLine.read(maximumCommandLineBytes).split('\0');
        if (words.size() > runningWord && words[scriptWord].endsWith(script)
            && words[runningWord] == running)
            return true;
    }
    return false;
}

QStringList remove(const QString &folder)
{
    if (installerRunsFor(folder))
        return {};
    const QFileInfo application(folder);
    QDir parent = application.absoluteDir();
    const QStringList leftovers = parent.entryList(
        {AppUpdateInstaller::stagedPrefix + QLatin1Char('*'),
         AppUpdateInstaller::backupPrefix + QLatin1Char('*')},
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QStringList removed;
    for (const QString &name : leftovers) {
        const QString path = parent.filePath(name);
        const QFileInfo info(path);
        const bool gone = info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively()
                                                            : QFile::remove(path);
        if (gone)
            removed.append(name);
    }
    return removed;
}

} // namespace tolvaran::UpdateLeftovers
