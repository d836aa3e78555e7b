#include "support/codex/FakeCodexLauncher.h"

namespace tolvaran::fixtures {

DesktopActionResult FakeCodexLauncher::openThread(const QString &threadID, const QString &folder,
                                                  const std::stop_token &)
{
    openedThreads.append({threadID, folder});
    return result;
}

DesktopActionResult FakeCodexLauncher::startNewChat(const QString &folder,
                                                    const std::stop_token &)
{
    newChatFolders << folder;
    return result;
}

} // namespace tolvaran::fixtures
