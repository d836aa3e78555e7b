#pragma once

#include "platform/CodexLauncher.h"

#include <QStringList>

namespace tolvaran {

class DesktopServices;

// Opens a chat with its codex: link when an application takes the link; otherwise runs the
// Codex command-line tool in the desktop's terminal: "codex resume <id>" in the chat's folder,
// "codex" in the folder for a new chat.
class SystemCodexLauncher final : public CodexLauncher
{
public:
    // Where the Codex command-line tool is looked for before PATH, in this order.
    static const QStringList kCommandLineCandidates;
    static const QString kCommandLineName; // "codex", looked up on PATH

    explicit SystemCodexLauncher(DesktopServices &desktop);

    // The Codex command-line tool's absolute path; empty when it is not installed.
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
