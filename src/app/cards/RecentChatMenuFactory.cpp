#include "app/cards/RecentChatMenuFactory.h"

#include "widgets/PlainText.h"
#include "widgets/SymbolIconTable.h"
#include "platform/Graphemes.h"
#include "platform/RelativeDateFormatter.h"

#include <QAction>
#include <QMenu>

namespace tolvaran::RecentChatMenuFactory {

namespace {

QString symbolFor(const RecentChatMenuItem &chat)
{
    if (chat.isProcessing)
        return QStringLiteral("gearshape.2.fill");
    if (chat.isUnread)
        return QStringLiteral("bell.fill");
    return QStringLiteral("text.bubble");
}

} // namespace

QMenu *make(const QList<RecentChatMenuItem> &chats, const std::function<void()> &newChat,
            const std::function<void(const QString &)> &openChat, QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setToolTipsVisible(true);
    QAction *newChatItem =
        menu->addAction(symbolIcon(QStringLiteral("plus")), QStringLiteral("New Chat"));
    QObject::connect(newChatItem, &QAction::triggered, menu, [newChat] {
        if (newChat)
            newChat();
    });
    if (chats.isEmpty())
        return menu;

    menu->addSeparator();
    const Timestamp now = Timestamp::now();
    for (const RecentChatMenuItem &chat : chats) {
        QAction *item =
            menu->addAction(symbolIcon(symbolFor(chat)), plainMenuText(title(chat, now)));
        item->setData(chat.id);
        item->setToolTip(plainToolTip(chat.preview.isEmpty() ? chat.title : chat.preview));
        QObject::connect(item, &QAction::triggered, menu, [openChat, id = chat.id] {
            if (openChat)
                openChat(id);
        });
    }
    return menu;
}

QString title(const RecentChatMenuItem &chat, Timestamp now)
{
    QString text;
    if (!chat.title.trimmed().isEmpty())
        text = chat.title;
    else if (!chat.preview.isEmpty())
        text = chat.preview;
    else
        text = QStringLiteral("Untitled Chat");
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (graphemeCount(text) >= titleCutLength)
        text = graphemePrefix(text, titleKeptCharacters) + QStringLiteral("...");

    QString prefix;
    if (chat.isProcessing)
        prefix = QStringLiteral("Processing  |  ");
    else if (chat.isUnread)
        prefix = QStringLiteral("Unread  |  ");
    return prefix + text + QStringLiteral("  |  ") + relativeDateText(chat.recencyAt, now);
}

} // namespace tolvaran::RecentChatMenuFactory
