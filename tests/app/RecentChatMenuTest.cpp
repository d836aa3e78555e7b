#include "app/cards/RecentChatMenuFactory.h"
#include "app/cards/RecentChatMenuItem.h"
#include "widgets/SymbolIconTable.h"
#include "support/QtPrinters.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace tolvaran;

namespace {

const Timestamp now = Timestamp::fromSeconds(1'800'000'000);

CodexThread thread(int number, double recency)
{
    CodexThread result;
    result.id = QStringLiteral("thread-%1").arg(number);
    result.cwd = QStringLiteral("/work/app");
    result.title = QStringLiteral("Chat %1").arg(number);
    result.latestUserMessage = QStringLiteral("Request %1").arg(number);
    result.recencyAt = Timestamp::fromSeconds(recency);
    result.updatedAt = result.recencyAt;
    return result;
}

RecentChatMenuItem chat(const QString &title, const QString &preview = QString())
{
    return RecentChatMenuItem{QStringLiteral("id"), title, preview, now.addingSeconds(-300),
                              false, false};
}

QImage image(const QIcon &icon)
{
    return icon.pixmap(16, 16).toImage();
}

QStringList titles(const QList<RecentChatMenuItem> &items)
{
    QStringList result;
    for (const RecentChatMenuItem &item : items)
        result.append(item.title);
    return result;
}

} // namespace

TEST(RecentChatMenuItems, fifteenChatsGiveTheTenNewestWithTiesInProjectOrder)
{
    QList<CodexThread> threads;
    for (int number = 1; number <= 15; ++number)
        threads.append(thread(number, 1000.0 + number));
    threads[3].recencyAt = threads[14].recencyAt; // chat 4 ties with the newest, chat 15
    threads[0].latestUserMessage.reset();
    threads[0].recencyAt = Timestamp::fromSeconds(5000);
    const CodexProject project(QStringLiteral("/work/app"), threads, false,
                               {QStringLiteral("thread-15")},
                               {QStringLiteral("thread-15"), QStringLiteral("thread-14")});
    const ProjectCardSnapshot snapshot = project.cardSnapshot();

    const QList<RecentChatMenuItem> items = recentChatMenuItems(project, snapshot);
    EXPECT_EQ(titles(items),
              (QStringList{"Chat 1", "Chat 4", "Chat 15", "Chat 14", "Chat 13", "Chat 12",
                           "Chat 11", "Chat 10", "Chat 9", "Chat 8"}));
    EXPECT_EQ(items[0].preview, QStringLiteral("No user message available"));
    EXPECT_EQ(items[2].preview, QStringLiteral("Request 15"));
    EXPECT_TRUE(items[2].isUnread);
    EXPECT_FALSE(items[3].isUnread);
    // Only the project's latest processing chat is marked.
    for (const RecentChatMenuItem &item : items) {
        EXPECT_EQ(item.isProcessing, item.id == snapshot.latestProcessingThreadID)
            << item.title.toStdString();
    }

    EXPECT_TRUE(recentChatMenuItems(std::nullopt, snapshot).isEmpty());
}

TEST(RecentChatMenuFactory, titlesFallBackJoinLinesAndCutLongTexts)
{
    const QString sixtyTwo(62, QLatin1Char('a'));
    const QString sixtyThree(63, QLatin1Char('b'));
    struct Row
    {
        RecentChatMenuItem item;
        QString expected;
    };
    const Row rows[] = {
        {chat("Fix the build"), "Fix the build  |  5 min. ago"},
        {chat("   \n ", "Use the preview"), "Use the preview  |  5 min. ago"},
        {chat("  ", ""), "Untitled Chat  |  5 min. ago"},
        {chat("First line\nsecond line"), "First line second line  |  5 min. ago"},
        {chat(sixtyTwo), sixtyTwo + "  |  5 min. ago"},
        {chat(sixtyThree), QString(59, QLatin1Char('b')) + "...  |  5 min. ago"},
        {chat(QString(70, QChar(0x00E9)).normalized(QString::NormalizationForm_D)),
         QString(59, QChar(0x00E9)).normalized(QString::NormalizationForm_D)
             + "...  |  5 min. ago"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(RecentChatMenuFactory::title(row.item, now), row.expected);

    RecentChatMenuItem both = chat("Busy");
    both.isProcessing = true;
    both.isUnread = true;
    EXPECT_EQ(RecentChatMenuFactory::title(both, now), "Processing  |  Busy  |  5 min. ago");
    both.isProcessing = false;
    EXPECT_EQ(RecentChatMenuFactory::title(both, now), "Unread  |  Busy  |  5 min. ago");
}

TEST(RecentChatMenuFactory, anEmptyListGivesOnlyNewChat)
{
    QWidget parent;
    int newChats = 0;
    QMenu *menu = RecentChatMenuFactory::make({}, [&] { ++newChats; }, {}, &parent);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("New Chat"));
    EXPECT_TRUE(menu->actions()[0]->isEnabled());
    menu->actions()[0]->trigger();
    EXPECT_EQ(newChats, 1);
}

TEST(RecentChatMenuFactory, chatItemsCarryTheirIdIconAndPreview)
{
    RecentChatMenuItem busy = chat("Busy & unread", "Run <b>the</b> tests");
    busy.id = QStringLiteral("t-busy");
    busy.isProcessing = true;
    busy.isUnread = true;
    RecentChatMenuItem unread = chat("Unread");
    unread.id = QStringLiteral("t-unread");
    unread.isUnread = true;
    RecentChatMenuItem plain = chat("Plain", "");
    plain.id = QStringLiteral("t-plain");

    QWidget parent;
    QStringList opened;
    QMenu *menu = RecentChatMenuFactory::make(
        {busy, unread, plain}, {}, [&](const QString &id) { opened.append(id); }, &parent);
    const QList<QAction *> items = menu->actions();
    ASSERT_EQ(items.size(), 5);
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->data().toString(), QStringLiteral("t-busy"));
    // A single "&" of outside text is kept, not taken as a shortcut marker.
    EXPECT_TRUE(items[2]->text().startsWith(QStringLiteral("Processing  |  Busy && unread")));
    EXPECT_EQ(image(items[2]->icon()), image(symbolIcon(QStringLiteral("gearshape.2.fill"))));
    EXPECT_EQ(image(items[3]->icon()), image(symbolIcon(QStringLiteral("bell.fill"))));
    EXPECT_NE(image(items[2]->icon()), image(items[3]->icon()));
    EXPECT_EQ(image(items[4]->icon()), image(symbolIcon(QStringLiteral("text.bubble"))));
    // Markup in a preview is shown as the text it is.
    EXPECT_FALSE(items[2]->toolTip().contains(QStringLiteral("<b>")));
    EXPECT_TRUE(items[2]->toolTip().contains(QStringLiteral("&lt;b&gt;")));
    EXPECT_EQ(items[4]->toolTip(), QStringLiteral("Plain"));

    items[3]->trigger();
    items[2]->trigger();
    EXPECT_EQ(opened, (QStringList{"t-unread", "t-busy"}));
}
