#include "support/FakeDesktopServices.h"

namespace tolvaran::fixtures {

DesktopActionResult FakeDesktopServices::openUrl(const QUrl &url, const std::stop_token &)
{
    openedUrls << url;
    if (handledSchemes.contains(url.scheme()))
        return DesktopActionResult::success();
    return DesktopActionResult::failure(
        DesktopActionResult::Status::NoHandler,
        QStringLiteral("No application is set up to open %1: links.").arg(url.scheme()));
}

DesktopActionResult FakeDesktopServices::revealFolder(const QString &folder,
                                                  const std::stop_token &)
{
    revealedFolders << folder;
    return revealResult;
}

DesktopActionResult FakeDesktopServices::openTerminal(const QString &folder)
{
    terminalFolders << folder;
    return terminalResult;
}

DesktopActionResult FakeDesktopServices::runInTerminal(const QString &folder,
                                                       const QString &program,
                                                       const QStringList &arguments)
{
    terminalRuns << TerminalRun{folder, program, arguments};
    return terminalResult;
}

} // namespace tolvaran::fixtures
