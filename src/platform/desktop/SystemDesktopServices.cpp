#include "platform/desktop/SystemDesktopServices.h"

#include "platform/Logging.h"
#include "platform/ProcessRunner.h"
#include "platform/desktop/TerminalEmulator.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>

namespace tolvaran {

namespace {

using Status = DesktopActionResult::Status;

bool isExistingFolder(const QString &folder)
{
    return QDir::isAbsolutePath(folder) && QFileInfo(folder).isDir();
}

DesktopActionResult missingFolder(const QString &folder)
{
    return DesktopActionResult::failure(
        Status::MissingFolder, QStringLiteral("The folder %1 does not exist.").arg(folder));
}

// The type xdg-mime knows the handler of: "x-scheme-handler/<scheme>" for a link, the MIME
// type for a local file ("inode/directory" for a folder).
QString handlerTypeOf(const QUrl &url)
{
    if (!url.isLocalFile())
        return QStringLiteral("x-scheme-handler/") + url.scheme().toLower();
    const QFileInfo info(url.toLocalFile());
    if (info.isDir())
        return QStringLiteral("inode/directory");
    return QMimeDatabase().mimeTypeForFile(info).name();
}

// Whether the desktop has an application registered for `type`. xdg-mime prints the
// registered .desktop file's name, or nothing.
bool hasRegisteredHandler(const QString &type, const std::stop_token &stopToken)
{
    const QString xdgMime = ProcessRunner::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return false;
    ProcessRequest request;
    request.program = xdgMime;
    request.arguments = {QStringLiteral("query"), QStringLiteral("default"), type};
    request.timeoutMilliseconds = SystemDesktopServices::kHandlerQueryTimeoutMilliseconds;
    request.stopToken = stopToken;
    const ProcessResult result = ProcessRunner::run(request);
    return result.succeeded() && !result.standardOutput.trimmed().isEmpty();
}

DesktopActionResult startDetached(const QString &program, const QStringList &arguments,
                                  const QString &workingDirectory, const QString &failure)
{
    if (QProcess::startDetached(program, arguments, workingDirectory))
        return DesktopActionResult::success();
    qCWarning(lcPlatform) << "Could not start" << program << arguments;
    return DesktopActionResult::failure(Status::StartFailed, failure);
}

DesktopActionResult noTerminal()
{
    return DesktopActionResult::failure(Status::NoTerminal,
                                        QStringLiteral("No terminal application was found."));
}

QString terminalStartFailure(const Internal::TerminalEmulator &terminal)
{
    return QStringLiteral("The terminal %1 could not be started.")
        .arg(QFileInfo(terminal.program()).fileName());
}

} // namespace

DesktopActionResult SystemDesktopServices::openUrl(const QUrl &url,
                                               const std::stop_token &stopToken)
{
    if (!url.isValid() || url.scheme().isEmpty())
        return DesktopActionResult::failure(Status::InvalidLink,
                                            QStringLiteral("The link is not valid."));
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        return DesktopActionResult::failure(
            Status::MissingFolder, QStringLiteral("%1 does not exist.").arg(url.toLocalFile()));

    const bool handled = hasRegisteredHandler(handlerTypeOf(url), stopToken);
    if (stopToken.stop_requested())
        return DesktopActionResult::failure(Status::Cancelled,
                                            QStringLiteral("Opening was cancelled."));
    if (!handled) {
        const QString message =
            url.isLocalFile()
                ? QStringLiteral("No application is set up to open %1.").arg(url.toLocalFile())
                : QStringLiteral("No application is set up to open %1: links.")
                      .arg(url.scheme());
        return DesktopActionResult::failure(Status::NoHandler, message);
    }
    const QString xdgOpen = ProcessRunner::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty())
        return DesktopActionResult::failure(
            Status::NoHandler, QStringLiteral("xdg-open, which opens links, is not installed."));
    // A local file goes as its path, which xdg-open never has to decode.
    const QString target = url.isLocalFile() ? url.toLocalFile()
                                             : url.toString(QUrl::FullyEncoded);
    return startDetached(xdgOpen, {target}, QString(),
                         QStringLiteral("The link could not be opened."));
}

DesktopActionResult SystemDesktopServices::revealFolder(const QString &folder,
                                                   const std::stop_token &stopToken)
{
    // There is no portable way to select an item in its parent's window, so the folder itself
    // is opened in the file manager.
    if (!isExistingFolder(folder))
        return missingFolder(folder);
    const DesktopActionResult result = openUrl(QUrl::fromLocalFile(folder), stopToken);
    if (result.status == Status::NoHandler)
        return DesktopActionResult::failure(Status::NoHandler,
                                            QStringLiteral("No file manager was found."));
    return result;
}

DesktopActionResult SystemDesktopServices::openTerminal(const QString &folder)
{
    if (!isExistingFolder(folder))
        return missingFolder(folder);
    const std::optional<Internal::TerminalEmulator> terminal = Internal::TerminalEmulator::find();
    if (!terminal)
        return noTerminal();
    return startDetached(terminal->program(), terminal->argumentsToOpen(folder), folder,
                         terminalStartFailure(*terminal));
}

DesktopActionResult SystemDesktopServices::runInTerminal(const QString &folder,
                                                         const QString &program,
                                                         const QStringList &arguments)
{
    if (!isExistingFolder(folder))
        return missingFolder(folder);
    const std::optional<Internal::TerminalEmulator> terminal = Internal::TerminalEmulator::find();
    if (!terminal)
        return noTerminal();
    return startDetached(terminal->program(),
                         terminal->argumentsToRun(folder, QStringList{program} + arguments),
                         folder, terminalStartFailure(*terminal));
}

} // namespace tolvaran
