#pragma once

#include "platform/desktop/CodexLauncher.h"

#include <QStringList>

namespace tolvaran {

class DesktopServices;

// Opens a chat with its codex: link when an application takes the link; otherwise runs the
// Codex command-line tool in the desktop's terminal: "codex resume <id>" in the chat's folder,
// "codex" in the folder for a new chat.
class SystemCodexLauncher final : public CodexLauncher
{
public:
    static const QString kCommandLineName; // "codex"

    // Where the Codex command-line tool is looked for after PATH, in this order: the usual
    // places a Linux user's installs land (npm's global prefix, ~/.local/bin, ...), which a
    // desktop session's PATH often lacks because only a login shell adds them.
    static QStringList commandLineSearchFolders();

    explicit SystemCodexLauncher(DesktopServices &desktop);

    // The Codex command-line tool's absolute path, from PATH or else from
    // commandLineSearchFolders(); empty when it is in neither.
    static QString findCommandLine();

    using CodexLauncher::openThread;
    using CodexLauncher::startNewChat;
    DesktopActionResult openThread(const QString &threadID, const QString &folder,
                                   const std::stop_token &stopToken) override;
    DesktopActionResult startNewChat(const QString &folder,
                                     const std::stop_token &stopToken) override;

private:
    DesktopActionResult runCommandLine(const QString &folder, const QStringList &arguments);

    DesktopServices &m_desktop;
};

} // namespace tolvaran
