#pragma once

#include "data/catalog/CodexProject.h"
#include "data/catalog/ProjectCardSnapshot.h"
#include "platform/Timestamp.h"

#include <QList>
#include <QString>

#include <optional>

namespace tolvaran {

// One chat of a card's recent-chat menu.
struct RecentChatMenuItem
{
    QString id;      // the Codex thread id
    QString title;   // the chat's display title
    QString preview; // the latest user message; the menu item's tooltip
    Timestamp recencyAt;
    bool isUnread = false;
    bool isProcessing = false;

    friend bool operator==(const RecentChatMenuItem &, const RecentChatMenuItem &) = default;
};

// A card's menu offers at most this many chats.
inline constexpr qsizetype recentChatMenuLimit = 10;

// The chats of `project`'s menu: its threads by recency, newest first (a stable sort, so
// equal times keep the project's order), at most recentChatMenuLimit of them. Unread and
// processing come from the card's `snapshot`; only its latest processing chat is marked.
// A project that is no longer known gives no chats.
QList<RecentChatMenuItem> recentChatMenuItems(const std::optional<CodexProject> &project,
                                              const ProjectCardSnapshot &snapshot);

} // namespace tolvaran
