#include "update/AppUpdateInstaller.h"

#include "platform/AppBrand.h"
#include "platform/ProcessRunner.h"
#include "work/WorkContext.h"
#include "update/AppUpdateEnvironment.h"
#include "update/AppUpdateError.h"
#include "update/AppUpdateManifest.h"
#include "update/ApplicationFolder.h"
#include "update/ApplicationSignature.h"
#include "update/ReleaseArchive.h"
#include "update/ReleaseDownload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QUuid>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvaran::AppUpdateInstaller {

namespace {

// The script swaps the folders in one step with the running copy's own program (its
// --exchange-folders mode, FolderExchange), so that the install path is never empty, however
// the script ends; the old copy then waits at the staged path. Where the file system cannot
// exchange, it renames with "mv -T", so an existing destination is never entered (a plain mv
// would move the new copy *into* a folder left at the destination). It keeps the old copy
// until the new one has run for a while, puts it back and starts it when the new one ends
// with a failure at once, and starts the old copy again when it cannot even be moved aside.
// A zombie answers "kill -0", so a process counts as gone once its state is Z.
const char *const scriptText = R"script(#!/bin/sh
set -u

pid="$1"
running="$2"
destination="$3"
staged="$4"
backup="$5"
cleanup="$6"
settle_checks="$7"
executable="$running/bin/tolvaran"

alive() {
  kill -0 "$1" 2>/dev/null && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null
}

exchange() {
  "$1/bin/tolvaran" --exchange-folders "$2" "$3" </dev/null >/dev/null 2>&1
}

start_copy() {
  "$1/bin/tolvaran" </dev/null >/dev/null 2>&1 &
  launched=$!
  checks=0
  while [ "$checks" -lt "$settle_checks" ]; do
    if ! alive "$launched"; then
      wait "$launched"
      return $?
    fi
    checks=$((checks + 1))
    sleep 0.2
  done
  return 0
}

while alive "$pid"; do
  sleep 0.2
done

attempts=0
while [ "$attempts" -lt 50 ]; do
  stale_pids="$(pgrep -f -x "$executable" 2>/dev/null || true)"
  [ -z "$stale_pids" ] && break
  for stale_pid in $stale_pids; do
    kill -TERM "$stale_pid" 2>/dev/null || true
  done
  attempts=$((attempts + 1))
  sleep 0.2
done

stale_pids="$(pgrep -f -x "$executable" 2>/dev/null || true)"
if [ -n "$stale_pids" ]; then
  for stale_pid in $stale_pids; do
    kill -KILL "$stale_pid" 2>/dev/null || true
  done
  sleep 0.2
fi

if [ -e "$running" ] || [ -L "$running" ]; then
  if exchange "$running" "$staged" "$destination"; then
    if start_copy "$destination"; then
      rm -rf "$staged" "$cleanup"
      exit 0
    fi
    # The old copy, and its program, are at the staged path now.
    if exchange "$staged" "$staged" "$running"; then
      start_copy "$running"
    fi
    exit 1
  fi
  if ! mv -T "$running" "$backup"; then
    start_copy "$running"
    exit 1
  fi
fi

if mv -T "$staged" "$destination"; then
  if start_copy "$destination"; then
    rm -rf "$backup" "$cleanup"
    exit 0
  fi
  mv -T "$destination" "$staged"
fi

if [ -e "$backup" ] && mv -T "$backup" "$running"; then
  start_copy "$running"
fi
exit 1
)script";

[[noreturn]] void throwSystem(const QString &what)
{
    throw AppUpdateError(AppUpdateErrorKind::system,
                         what + QStringLiteral(": ")
                             + QString::fromLocal8Bit(std::strerror(errno)));
}

// Removes the work folder and the staged copy unless the preparation completed.
class Cleanup final
{
public:
    Cleanup(QString workDirectory, QString stagedApp)
        : m_workDirectory(std::move(workDirectory))
        , m_stagedApp(std::move(stagedApp))
    {
    }
    ~Cleanup()
    {
        if (m_completed)
            return;
        QDir(m_workDirectory).removeRecursively();
        QDir(m_stagedApp).removeRecursively();
    }
    Cleanup(const Cleanup &) = delete;
    Cleanup &operator=(const Cleanup &) = delete;
    void complete() { m_completed = true; }

private:
    QString m_workDirectory;
    QString m_stagedApp;
    bool m_completed = false;
};

void checkStop(const WorkContext &context)
{
    if (context.stopRequested())
        throw AppUpdateError(AppUpdateErrorKind::system,
                             QStringLiteral("The update was stopped."));
}

QString copyProgram()
{
    return ProcessRunner::findExecutable(
        QStringLiteral("cp"), {QStringLiteral("/usr/bin/cp"), QStringLiteral("/bin/cp")});
}

} // namespace

QString installerScript()
{
    return QString::fromUtf8(scriptText);
}

QString sha256(const QString &path, const std::stop_token &stopToken)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppUpdateError(AppUpdateErrorKind::system, file.errorString());
    const QByteArray hash = ApplicationSignature::sha256(file, stopToken);
    if (hash.isEmpty())
        throw AppUpdateError(AppUpdateErrorKind::system, file.errorString());
    return QString::fromLatin1(hash);
}

QString run(const QString &program, const QStringList &arguments,
            const std::stop_token &stopToken)
{
    ProcessRequest request;
    request.program = program;
    request.arguments = arguments;
    request.timeoutMilliseconds = ReleaseArchive::toolTimeLimitMilliseconds;
    request.stopToken = stopToken;
    const ProcessResult result = ProcessRunner::run(request);
    if (result.cancelled)
        throw AppUpdateError(AppUpdateErrorKind::system,
                             QStringLiteral("The update was stopped."));
    if (!result.started)
        throw AppUpdateError(AppUpdateErrorKind::system, result.errorMessage);
    const QString output = QString::fromUtf8(result.standardOutput + result.standardError);
    if (!result.succeeded())
        throw AppUpdateError(AppUpdateErrorKind::commandFailed,
                             result.timedOut ? result.errorMessage : output);
    return output;
}

PreparedAppUpdate prepare(const QNetworkRequest &request, const AppUpdateManifest &manifest,
                          const AppUpdateEnvironment &environment, const WorkContext &context)
{
    if (!isVersionNewer(manifest.version, environment.currentVersion))
        throw AppUpdateError(AppUpdateError::Kind::invalidBundle);

    const QString runningFolder =
        ApplicationFolder::replaceableFolder(environment.runningExecutable);
    const QString parent = QFileInfo(runningFolder).absolutePath();

    const QString token = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QString workDirectory =
        QDir(environment.temporaryDirectory).filePath(workDirectoryPrefix + token);
    PreparedAppUpdate prepared;
    prepared.helperScript = workDirectory + QLatin1Char('/') + scriptFileName;
    prepared.runningApp = runningFolder;
    prepared.destinationApp = runningFolder;
    prepared.stagedApp = parent + QLatin1Char('/') + stagedPrefix + token;
    prepared.backupApp = parent + QLatin1Char('/') + backupPrefix + token;
    prepared.cleanupDirectory = workDirectory;

    // Made here, private, and never one that exists: nobody else may have placed or be able
    // to change what is verified and run from it.
    if (::mkdir(QFile::encodeName(workDirectory).constData(), 0700) != 0)
        throwSystem(QStringLiteral("Could not create ") + workDirectory);
    Cleanup cleanup(workDirectory, prepared.stagedApp);

    const QString archive = workDirectory + QLatin1Char('/') + archiveFileName;
    downloadRelease(request, archive, manifest.size, environment.downloadDeadline, context);
    checkStop(context);
    context.reportProgress({-1.0, QStringLiteral("Verifying the update")});
    if (QFileInfo(archive).size() != manifest.size)
        throw AppUpdateError(AppUpdateError::Kind::sizeMismatch);
    if (sha256(archive, context.stopToken()).compare(manifest.sha256, Qt::CaseInsensitive) != 0)
        throw AppUpdateError(AppUpdateError::Kind::checksumMismatch);

    const QString unpacked = workDirectory + QLatin1Char('/') + unpackDirectoryName;
    if (::mkdir(QFile::encodeName(unpacked).constData(), 0700) != 0)
        throwSystem(QStringLiteral("Could not create ") + unpacked);
    ReleaseArchive::unpack(archive, unpacked, context.stopToken());
    const QString application =
        unpacked + QLatin1Char('/') + ApplicationFolder::releaseFolderName;
    const QFileInfo applicationInfo(application);
    if (applicationInfo.isSymLink() || !applicationInfo.isDir())
        throw AppUpdateError(AppUpdateError::Kind::invalidBundle);
    const ApplicationFolder::Metadata metadata = ApplicationFolder::readMetadata(application);
    if (metadata.identifier != AppBrand::identifier || metadata.version != manifest.version)
        throw AppUpdateError(AppUpdateError::Kind::invalidBundle);
    ApplicationSignature::verifyFolder(application, environment.releaseSigningKey,
                                       context.stopToken());

    context.reportProgress({-1.0, QStringLiteral("Preparing the update")});
    run(copyProgram(),
        {QStringLiteral("-a"), QStringLiteral("--no-target-directory"), application,
         prepared.stagedApp},
        context.stopToken());
    ApplicationSignature::verifyFolder(prepared.stagedApp, environment.releaseSigningKey,
                                       context.stopToken());

    QSaveFile script(prepared.helperScript);
    if (!script.open(QIODevice::WriteOnly) || script.write(scriptText) < 0 || !script.commit())
        throw AppUpdateError(AppUpdateErrorKind::system, script.errorString());
    if (!QFile::setPermissions(prepared.helperScript, QFileDevice::ReadOwner
                                                          | QFileDevice::WriteOwner
                                                          | QFileDevice::ExeOwner))
        throw AppUpdateError(AppUpdateErrorKind::system,
                             QStringLiteral("Could not make the installer script executable."));
    // The staged copy holds everything now; the unpacked one is only in the way.
    QDir(unpacked).removeRecursively();
    cleanup.complete();
    return prepared;
}

void launchHelper(const PreparedAppUpdate &prepared, qint64 processID, int settleChecks)
{
    QProcess helper;
    helper.setProgram(QStringLiteral("/bin/sh"));
    helper.setArguments({prepared.helperScript, QString::number(processID), prepared.runningApp,
                         prepared.destinationApp, prepared.stagedApp, prepared.backupApp,
                         prepared.cleanupDirectory, QString::number(settleChecks)});
    helper.setStandardInputFile(QProcess::nullDevice());
    helper.setStandardOutputFile(QProcess::nullDevice());
    helper.setStandardErrorFile(QProcess::nullDevice());
    // A session of its own: closing the program's terminal or session must not end the swap.
    helper.setChildProcessModifier([] { ::setsid(); });
    if (!helper.startDetached())
        throw AppUpdateError(AppUpdateErrorKind::system, helper.errorString());
}

} // namespace tolvaran::AppUpdateInstaller
