#pragma once

#include "app/cards/RecentChatMenuItem.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <functional>

namespace tolvaran {

// What one card can ask the browser to do, built per card configuration by the browser. The
// card calls these and nothing else; an empty function makes the gesture do nothing.
struct ProjectCardActions
{
    std::function<void()> openDetails;
    std::function<void(const QString &name)> renameProject; // the name exactly as typed
    std::function<void(const QUuid &tagID)> toggleTag;
    std::function<void()> manageTags;
    std::function<void()> togglePin;
    std::function<void()> openUnread;
    std::function<void()> openProcessing;
    std::function<void()> lastChat;
    QList<RecentChatMenuItem> recentChats; // at most recentChatMenuLimit
    std::function<void(const QString &threadID)> openRecentChat;
    std::function<void()> newChat;
    std::function<void()> finder;
    std::function<void()> terminal;
};

} // namespace tolvaran
