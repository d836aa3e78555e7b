#pragma once

#include "app/cards/RecentChatMenuItem.h"
#include "platform/Timestamp.h"

#include <QList>
#include <QString>

#include <functional>

class QMenu;
class QWidget;

namespace tolvaran {

// Turns a card's recent chats into the menu of its last-chat control. Stateless.
namespace RecentChatMenuFactory {

// Titles of this many characters or more are cut to titleKeptCharacters and "...".
inline constexpr qsizetype titleCutLength = 63;
inline constexpr qsizetype titleKeptCharacters = 59;

// A new menu, owned by `parent`: "New Chat" (calls `newChat`), then, when there are chats,
// a separator and one item per chat in the given order (calls `openChat` with its id; the
// item's data is the id as text). Every item is enabled; tooltips show each chat's preview.
QMenu *make(const QList<RecentChatMenuItem> &chats, const std::function<void()> &newChat,
            const std::function<void(const QString &)> &openChat, QWidget *parent);

// The text of one chat's item: its title (the preview when the title is blank, else
// "Untitled Chat") on one line, cut to length, after a "Processing  |  " or "Unread  |  "
// prefix, followed by "  |  " and its recency relative to `now`.
QString title(const RecentChatMenuItem &chat, Timestamp now);

} // namespace RecentChatMenuFactory

} // namespace tolvaran
