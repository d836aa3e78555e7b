#pragma once

#include "platform/desktop/CodexLauncher.h"

#include <QList>
#include <QPair>
#include <QStringList>

namespace tolvaran::fixtures {

// A Codex launcher that records what it was asked to open and answers with `result`.
class FakeCodexLauncher final : public CodexLauncher
{
public:
    using CodexLauncher::openThread;
    using CodexLauncher::startNewChat;
    DesktopActionResult openThread(const QString &threadID, const QString &folder,
                                   const std::stop_token &stopToken) override;
    DesktopActionResult startNewChat(const QString &folder,
                                     const std::stop_token &stopToken) override;

    DesktopActionResult result = DesktopActionResult::success();

    QList<QPair<QString, QString>> openedThreads; // (thread id, folder)
    QStringList newChatFolders;
};

} // namespace tolvaran::fixtures
