#include "platform/desktop/SystemCodexApplicationController.h"

#include "platform/Logging.h"
#include "work/WorkContext.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>

#include <chrono>
#include <csignal>
#include <optional>
#include <thread>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace tolvaran {

namespace {

const QString kProc = QStringLiteral("/proc/");

// How often, and how far apart, the scan reads the command line of a process that it met
// between exec and its arguments (which read empty meanwhile). On a loaded machine the kernel
// may take a few time slices to finish the exec.
constexpr int kArgumentReads = 50;
constexpr std::chrono::milliseconds kArgumentRereadInterval{10};

// What /proc/<pid>/stat says of a process that is needed here.
struct ProcessStatus
{
    char state = '?';
    qint64 parentId = 0;
    quint64 startTime = 0;
};

std::optional<ProcessStatus> readStatus(qint64 processId)
{
    QFile file(kProc + QString::number(processId) + QStringLiteral("/stat"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = file.readAll();
    // "pid (name) state ppid ...": the name may hold spaces and parentheses, so the fields
    // are counted from the last closing parenthesis.
    const qsizetype nameEnd = text.lastIndexOf(')');
    if (nameEnd < 0)
        return std::nullopt;
    const QList<QByteArray> fields = text.mid(nameEnd + 1).simplified().split(' ');
    // Field 3 (state) is fields[0]; field 4 (ppid) fields[1]; field 22 (starttime) fields[19].
    if (fields.size() < 20 || fields[0].isEmpty())
        return std::nullopt;
    ProcessStatus status;
    status.state = fields[0].at(0);
    status.parentId = fields[1].toLongLong();
    status.startTime = fields[19].toULongLong();
    return status;
}

QString readLink(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    QByteArray target(4096, Qt::Uninitialized);
    const ssize_t length = ::readlink(encoded.constData(), target.data(), size_t(target.size()));
    if (length <= 0 || length >= target.size())
        return {};
    return QFile::decodeName(target.left(length));
}

// The executable a process runs. An executable replaced on disk since it started (an update)
// reads as "<path> (deleted)"; the path then names the new one, which is what to start again.
QString executableOf(qint64 processId)
{
    static const QString deleted = QStringLiteral(" (deleted)");
    QString path = readLink(kProc + QString::number(processId) + QStringLiteral("/exe"));
    if (path.endsWith(deleted))
        path.chop(deleted.size());
    return path;
}

// The command line as /proc gives it: NUL-terminated words, the program name first.
std::optional<QByteArray> commandLineOf(qint64 processId)
{
    QFile file(kProc + QString::number(processId) + QStringLiteral("/cmdline"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool isGone(char state)
{
    // A zombie has ended and only waits for its parent to collect it.
    return state == 'Z' || state == 'X' || state == 'x';
}

bool isStillRunning(const CodexApplicationInstance &instance)
{
    const std::optional<ProcessStatus> status = readStatus(instance.processId);
    return status && !isGone(status->state) && status->startTime == instance.startTime;
}

// The arguments a process runs with, without the program name; none when it has ended (its
// folder in /proc is gone, or, not yet collected, its command line reads empty). Exec sets a
// process's executable before the kernel has laid out its arguments, and its command line
// reads empty in between, whereas a live process's holds at least its program name: one met
// so, just started, is read again until its arguments are there, rather than recorded as
// having none.
std::optional<QStringList> argumentsOf(const CodexApplicationInstance &instance)
{
    std::optional<QByteArray> text = commandLineOf(instance.processId);
    for (int reads = 1; text && text->isEmpty() && reads < kArgumentReads; ++reads) {
        if (!isStillRunning(instance))
            return std::nullopt;
        std::this_thread::sleep_for(kArgumentRereadInterval);
        text = commandLineOf(instance.processId);
    }
    if (!text || (text->isEmpty() && !isStillRunning(instance)))
        return std::nullopt;
    if (text->isEmpty()) {
        qCWarning(lcPlatform) << "The arguments of Codex application process"
                              << instance.processId
                              << "could not be read; it would be started again without them";
        return QStringList();
    }
    if (text->endsWith('\0'))
        text->chop(1);
    QStringList arguments;
    const QList<QByteArray> parts = text->split('\0');
    for (qsizetype i = 1; i < parts.size(); ++i) // parts[0] is the program name
        arguments << QString::fromLocal8Bit(parts[i]);
    return arguments;
}

bool isOwnedByUs(qint64 processId)
{
    struct stat info {};
    const QByteArray path = QFile::encodeName(kProc + QString::number(processId));
    return ::stat(path.constData(), &info) == 0 && info.st_uid == ::getuid();
}

} // namespace

const QStringList SystemCodexApplicationController::kExecutableNames = {
    QStringLiteral("codex-desktop"),
    QStringLiteral("Codex"),
    QStringLiteral("codex-app"),
};

SystemCodexApplicationController::SystemCodexApplicationController()
    : SystemCodexApplicationController(kExecutableNames, QuitTiming())
{
}

SystemCodexApplicationController::SystemCodexApplicationController(QStringList executableNames,
                                                                   QuitTiming timing)
    : m_executableNames(std::move(executableNames))
    , m_timing(timing)
{
}

QList<CodexApplicationInstance> SystemCodexApplicationController::runningInstances()
{
    return withLaunchDetails(findTopProcesses());
}

QList<CodexApplicationInstance> SystemCodexApplicationController::findTopProcesses() const
{
    const qint64 ourId = ::getpid();
    QList<CodexApplicationInstance> matches;
    QHash<qint64, qint64> parentOf;
    const QStringList entries = QDir(kProc).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isNumber = false;
        const qint64 processId = entry.toLongLong(&isNumber);
        if (!isNumber || processId == ourId || !isOwnedByUs(processId))
            continue;
        const QString executable = executableOf(processId);
        if (executable.isEmpty() || !m_executableNames.contains(QFileInfo(executable).fileName()))
            continue;
        const std::optional<ProcessStatus> status = readStatus(processId);
        if (!status || isGone(status->state))
            continue;
        CodexApplicationInstance instance;
        instance.processId = processId;
        instance.startTime = status->startTime;
        instance.executablePath = executable;
        parentOf.insert(processId, status->parentId);
        matches << instance;
    }
    // Helpers (renderers, GPU and utility processes) run the same executable below the
    // application's top process and quit with it.
    QList<CodexApplicationInstance> topProcesses;
    for (const CodexApplicationInstance &instance : std::as_const(matches)) {
        if (!parentOf.contains(parentOf.value(instance.processId)))
            topProcesses << instance;
    }
    return topProcesses;
}

QList<CodexApplicationInstance> SystemCodexApplicationController::withLaunchDetails(
    const QList<CodexApplicationInstance> &found)
{
    // Only the instances kept by the walk are read further: the arguments of one just started
    // may take a while to read.
    QList<CodexApplicationInstance> instances;
    for (CodexApplicationInstance instance : found) {
        std::optional<QStringList> arguments = argumentsOf(instance);
        if (!arguments)
            continue;
        instance.arguments = std::move(*arguments);
        instance.workingDirectory =
            readLink(kProc + QString::number(instance.processId) + QStringLiteral("/cwd"));
        // Looked at once more after the reads: one that ended meanwhile, or whose id a new
        // process took, is not started again with what was read.
        if (isStillRunning(instance))
            instances << instance;
    }
    return instances;
}

CodexApplicationQuitResult
SystemCodexApplicationController::quitAll(const std::stop_token &stopToken)
{
    CodexApplicationQuitResult result;
    result.askedToQuit = runningInstances();
    if (result.askedToQuit.isEmpty())
        return result;

    for (const CodexApplicationInstance &instance : std::as_const(result.askedToQuit)) {
        // Checked again right before the signal, so that a process that has taken over the id
        // of one that quit meanwhile is never signalled.
        if (isStillRunning(instance))
            ::kill(pid_t(instance.processId), SIGTERM);
    }

    // One look after the last wait too: an instance that quit during it is not a failure.
    for (int waits = 0;; ++waits) {
        QList<CodexApplicationInstance> running;
        for (const CodexApplicationInstance &instance : std::as_const(result.askedToQuit)) {
            if (isStillRunning(instance))
                running << instance;
        }
        if (running.isEmpty())
            break;
        if (waits == m_timing.pollLimit) {
            qCWarning(lcPlatform) << running.size() << "Codex application processes did not quit";
            result.stillRunning = running;
            return result;
        }
        if (!sleepUnlessStopped(stopToken, m_timing.pollInterval)) {
            result.stillRunning = running;
            return result;
        }
    }
    sleepUnlessStopped(stopToken, m_timing.settleTime);
    return result;
}

DesktopActionResult SystemCodexApplicationController::reopen(
    const CodexApplicationInstance &instance)
{
    // A desktop on Linux has no "launch in the background" request to pass: a started
    // application is not raised above the current window by being started from here, so
    // starting it detached is the whole of opening it without activating it.
    const QString folder = QFileInfo(instance.workingDirectory).isDir() ? instance.workingDirectory
                                                                        : homeDirectory();
    if (QProcess::startDetached(instance.executablePath, instance.arguments, folder))
        return DesktopActionResult::success();
    qCWarning(lcPlatform) << "Could not start Codex again from" << instance.executablePath;
    return DesktopActionResult::failure(
        DesktopActionResult::Status::StartFailed,
        QStringLiteral("Codex could not be started again from %1.").arg(instance.executablePath));
}

} // namespace tolvaran
