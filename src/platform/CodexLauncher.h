#pragma once

#include "platform/DesktopActionResult.h"

#include <QString>

namespace tolvaran {

// Opens Codex chats: through Codex's own links when the desktop has an application for them,
// otherwise through the Codex command-line tool in the desktop's terminal. An interface so
// that its callers can be tested with a double (tests/support/FakeCodexLauncher);
// SystemCodexLauncher is the real one.
class CodexLauncher
{
public:
    virtual ~CodexLauncher() = default;

    // Opens the chat `threadID`, whose folder is `folder`.
    virtual DesktopActionResult openThread(const QString &threadID, const QString &folder) = 0;

    // Starts a new chat working in `folder`.
    virtual DesktopActionResult startNewChat(const QString &folder) = 0;
};

} // namespace tolvaran
