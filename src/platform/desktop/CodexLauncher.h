#pragma once

#include "platform/desktop/DesktopActionResult.h"

#include <QString>

#include <stop_token>

namespace tolvaran {

// Opens Codex chats: through Codex's own links when the desktop has an application for them,
// otherwise through the Codex command-line tool in the desktop's terminal. An interface so
// that its callers can be tested with a double (tests/support/FakeCodexLauncher);
// SystemCodexLauncher is the real one.
class CodexLauncher
{
public:
    virtual ~CodexLauncher() = default;

    // Opens the chat `threadID`, whose folder is `folder`. A stop requested through
    // `stopToken` while the link's handler is looked up opens nothing (Cancelled).
    virtual DesktopActionResult openThread(const QString &threadID, const QString &folder,
                                           const std::stop_token &stopToken) = 0;
    DesktopActionResult openThread(const QString &threadID, const QString &folder)
    {
        return openThread(threadID, folder, {});
    }

    // Starts a new chat working in `folder`; likewise for `stopToken`.
    virtual DesktopActionResult startNewChat(const QString &folder,
                                             const std::stop_token &stopToken) = 0;
    DesktopActionResult startNewChat(const QString &folder) { return startNewChat(folder, {}); }
};

} // namespace tolvaran
