#include "platform/SystemCodexLauncher.h"

#include "platform/CodexLinks.h"
#include "platform/DesktopServices.h"
#include "platform/ProcessRunner.h"

namespace tolvaran {

const QStringList SystemCodexLauncher::kCommandLineCandidates = {
    QStringLiteral("/Applications/Codex.app/Contents/Resources/codex"),
};

const QString SystemCodexLauncher::kCommandLineName = QStringLiteral("codex");

SystemCodexLauncher::SystemCodexLauncher(DesktopServices &desktop)
    : m_desktop(desktop)
{
}

QString SystemCodexLauncher::findCommandLine()
{
    return ProcessRunner::findExecutable(kCommandLineName, kCommandLineCandidates);
}

DesktopActionResult SystemCodexLauncher::openThread(const QString &threadID,
                                                    const QString &folder,
                                                    const std::stop_token &stopToken)
{
    // The same check guards the command line: an id that forms no link could be read as an
    // option there.
    const std::optional<QUrl> link = codexThreadLink(threadID);
    if (!link)
        return DesktopActionResult::failure(
            DesktopActionResult::Status::InvalidLink,
            QStringLiteral("Could not create the Codex chat link."));
    const DesktopActionResult opened = m_desktop.openUrl(*link, stopToken);
    // Stopped: no terminal opens as the program quits.
    if (opened.opened() || opened.status == DesktopActionResult::Status::Cancelled)
        return opened;
    return runCommandLine(folder, {QStringLiteral("resume"), threadID});
}

DesktopActionResult SystemCodexLauncher::startNewChat(const QString &folder,
                                                      const std::stop_token &stopToken)
{
    if (const std::optional<QUrl> link = codexNewChatLink(folder)) {
        const DesktopActionResult opened = m_desktop.openUrl(*link, stopToken);
        if (opened.opened() || opened.status == DesktopActionResult::Status::Cancelled)
            return opened;
    }
    return runCommandLine(folder, {});
}

DesktopActionResult SystemCodexLauncher::runCommandLine(const QString &folder,
                                                        const QStringList &arguments)
{
    const QString codex = findCommandLine();
    if (codex.isEmpty())
        return DesktopActionResult::failure(
            DesktopActionResult::Status::CodexNotFound,
            QStringLiteral("Codex CLI was not found at %1 or on PATH.")
                .arg(kCommandLineCandidates.join(QStringLiteral(", "))));
    return m_desktop.runInTerminal(folder, codex, arguments);
}

} // namespace tolvaran
