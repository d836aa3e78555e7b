#include "support/FakeCodexLauncher.h"

namespace tolvaran::fixtures {

DesktopActionResult FakeCodexLauncher::openThread(const QString &threadID, const QString &folder)
{
    openedThreads.append({threadID, folder});
    return result;
}

DesktopActionResult FakeCodexLauncher::startNewChat(const QString &folder)
{
    newChatFolders << folder;
    return result;
}

} // namespace tolvaran::fixtures
