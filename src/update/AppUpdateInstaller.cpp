#include "update/AppUpdateInstaller.h"

#include "platform/AppBrand.h"
#include "platform/ProcessRunner.h"
#include "work/WorkContext.h"
#include "update/AppUpdateEnvironment.h"
#include "update/AppUpdateError.h"
#include "update/AppUpdateManifest.h"
#include "update/ApplicationFolder.h"
#include "update/ApplicationSignature.h"
#include "update/FolderExchange.h"
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

// The script starts the new copy where it was staged and moves it to the install path only
// once it has started there, so that whenever the script ends, by a kill or a power cut, the
// install path holds a copy that starts: the old one until the swap, the new one after it.
// The swap is one step of the file system (the running copy's own --exchange-folders,
// FolderExchange), after which the old copy waits at the staged path; where the file system
// cannot exchange, two renames back to back in one process (--replace-folder), after which it
// waits at the backup path. The old copy then goes. A new copy that ends with a failure at
// once never reaches the install path: it goes, and the old copy starts again; one that
// cannot be moved in is stopped, and the old copy starts again. A killed script leaves the
// staged or backup folder behind; the next start of the installed copy removes it
// (UpdateLeftovers). "mv -T" never enters an existing destination, as a plain mv would.
// A copy counts as started when it still runs after its settle checks, the last one after
// the last pause. A zombie answers "kill -0", so a process counts as gone once its state is Z.
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

helper() {
  "$executable" "$@" </dev/null >/dev/null 2>&1
}

start_copy() {
  "$1/bin/tolvaran" </dev/null >/dev/null 2>&1 &
  launched=$!
  checks=0
  while alive "$launched"; do
    [ "$checks" -ge "$settle_checks" ] && return 0
    checks=$((checks + 1))
    sleep 0.2
  done
  wait "$launched"
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

if ! start_copy "$staged"; then
  rm -rf "$staged"
  start_copy "$running"
  exit 1
fi
new_copy="$launched"

if [ ! -e "$running" ] && [ ! -L "$running" ]; then
  mv -T "$staged" "$destination" || exit 1
  rm -rf "$cleanup"
  exit 0
fi

old_copy="$staged"
helper --exchange-folders "$staged" "$destination"
status=$?
if [ "$status" -eq 3 ]; then
  old_copy="$backup"
  helper --replace-folder "$destination" "$staged" "$backup"
  status=$?
fi
if [ "$status" -eq 0 ]; then
  rm -rf "$old_copy" "$cleanup"
  exit 0
fi

kill -TERM "$new_copy" 2>/dev/null
if [ ! -e "$running" ] && [ -e "$backup" ]; then
  mv -T "$backup" "$running"
fi
if [ -e "$running" ]; then
  rm -rf "$staged"
  start_copy "$running"
fi
exit 1
)script";
// The script tells the exchange's statuses apart by these numbers.
static_assert(FolderExchange::exchanged == 0 && FolderExchange::replaced == 0
              && FolderExchange::unsupported == 3);

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
