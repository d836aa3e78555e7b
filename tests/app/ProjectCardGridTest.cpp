#include "app/cards/ProjectCardGrid.h"
#include "app/cards/ProjectCardView.h"
#include "support/QtPrinters.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace tolvaran;

namespace {

QStringList projectIDs(int count, const QString &prefix = QStringLiteral("/work/p"))
{
    QStringList ids;
    for (int i = 0; i < count; ++i)
        ids.append(prefix + QString::number(i));
    return ids;
}

// A grid with three columns and three rows of cards in view (rows start every 260 pixels,
// at 16, 276 and 536), whose provider names each card after its item.
class CardGridTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        grid.setItemProvider([](ProjectCardView &card, const QString &id) {
            BrowserCardModel model;
            model.project.id = id;
            model.project.path = id;
            model.project.name = id.section(QLatin1Char('/'), -1);
            card.configure(model, {});
        });
        QObject::connect(&grid, &ProjectCardGrid::cardConfigured,
                         [this](const QString &id) { configured.append(id); });
        grid.resize(1040, 780);
        grid.show();
    }

    int shownCards() const
    {
        int count = 0;
        for (const ProjectCardView *card : grid.findChildren<ProjectCardView *>())
            count += card->isVisible() ? 1 : 0;
        return count;
    }

    ProjectCardGrid grid;
    QStringList configured;
};

} // namespace

TEST_F(CardGridTest, aLongPageMakesCardsOnlyForTheRowsInView)
{
    grid.replaceItems(projectIDs(2000));
    ASSERT_EQ(grid.cardLayout().columnCount(grid.viewport()->width()), 3);
    // Three rows meet the viewport and one more row is made below it.
    EXPECT_EQ(configured.size(), 12);
    EXPECT_EQ(shownCards(), 12);
    EXPECT_EQ(grid.cardAt(0)->model()->project.id, QStringLiteral("/work/p0"));
    EXPECT_EQ(grid.cardAt(100), nullptr);
    EXPECT_GT(grid.verticalScrollBar()->maximum(), 2000 / 3 * 246);

    // Scrolling by one row brings exactly one new row into service, from the pool.
    configured.clear();
    grid.setScrollOffset(260);
    EXPECT_EQ(configured, (QStringList{"/work/p12", "/work/p13", "/work/p14"}));
    EXPECT_EQ(grid.findChildren<ProjectCardView *>().size(), 15);
    EXPECT_EQ(grid.cardAt(6)->geometry().top(), 16 + 2 * 260 - 260);

    // Far down, the cards of the top rows serve the new rows: the number of cards stays
    // bounded by what the viewport and one row beyond each edge can hold.
    configured.clear();
    grid.setScrollOffset(260 * 300);
    EXPECT_TRUE(configured.contains(QStringLiteral("/work/p900")));
    EXPECT_FALSE(configured.contains(QStringLiteral("/work/p14")));
    EXPECT_LE(grid.findChildren<ProjectCardView *>().size(), 6 * 3);
}

TEST_F(CardGridTest, reloadingConfiguresOnlyTheCardsInViewAndKeepsTheScrollOffset)
{
    grid.replaceItems(projectIDs(300));
    grid.setScrollOffset(1000);
    configured.clear();

    grid.reloadItems({qsizetype(13), qsizetype(200)}); // 200 is far below the viewport
    EXPECT_EQ(configured, QStringList{"/work/p13"});
    EXPECT_EQ(grid.scrollOffset(), 1000);
    grid.reloadItems({});
    EXPECT_EQ(configured.size(), 1);
}

TEST_F(CardGridTest, replacingTheItemsScrollsToTheTopAndConfiguresTheCardsThere)
{
    grid.replaceItems(projectIDs(300));
    grid.setScrollOffset(5000);
    configured.clear();

    QStringList reversed = projectIDs(300);
    std::reverse(reversed.begin(), reversed.end());
    grid.replaceItems(reversed);
    EXPECT_EQ(grid.scrollOffset(), 0);
    EXPECT_EQ(configured.first(), QStringLiteral("/work/p299"));
    EXPECT_EQ(configured.size(), 12);
    EXPECT_EQ(grid.cardAt(0)->model()->project.id, QStringLiteral("/work/p299"));

    grid.replaceItems({});
    EXPECT_EQ(shownCards(), 0);
    EXPECT_EQ(grid.verticalScrollBar()->maximum(), 0);
}

TEST_F(CardGridTest, aNarrowerViewportReflowsTheCards)
{
    grid.replaceItems(projectIDs(10));
    grid.resize(400, 800);
    EXPECT_EQ(grid.cardLayout().columnCount(grid.viewport()->width()), 1);
    EXPECT_EQ(grid.cardAt(1)->geometry().top(), 16 + 260);
    EXPECT_EQ(grid.cardAt(0)->width(), static_cast<int>(grid.cardLayout().itemSize().width()));
}

// The focus in the grid: a card control keeps it through a reflow that moves its card out of
// the rows in view and while the user scrolls away from it, and a control asked for before the
// grid has its width takes it once the grid has it, its card scrolled into view.
TEST_F(CardGridTest, theFocusStaysOnACardThroughAReflowAndWaitsForTheGridsWidth)
{
    grid.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&grid));
    const auto detailsOf = [](ProjectCardView &card) {
        return card.findChild<QWidget *>(QStringLiteral("detailsButton"));
    };
    const auto shownWhole = [this](const QWidget *widget) {
        return widget && grid.viewport()->rect().contains(
                             QRect(widget->mapTo(grid.viewport(), QPoint()), widget->size()));
    };
    grid.replaceItems(projectIDs(12));
    QWidget *details = detailsOf(*grid.cardAt(8));
    details->setFocus(Qt::TabFocusReason);
    grid.resize(400, 780); // one column: the card's row is far below
    ASSERT_EQ(grid.cardLayout().columnCount(grid.viewport()->width()), 1);
    ASSERT_NE(grid.cardAt(8), nullptr);
    QWidget *focused = detailsOf(*grid.cardAt(8));
    EXPECT_EQ(QApplication::focusWidget(), focused);
    EXPECT_TRUE(shownWhole(focused));
    const int end = grid.verticalScrollBar()->maximum();
    grid.setScrollOffset(end);
    EXPECT_EQ(grid.scrollOffset(), end);
    EXPECT_EQ(QApplication::focusWidget(), focused);
    EXPECT_FALSE(shownWhole(focused));

    ProjectCardGrid unsized;
    unsized.setItemProvider([](ProjectCardView &card, const QString &id) {
        BrowserCardModel model;
        model.project.id = id;
        card.configure(model, {});
    });
    unsized.replaceItems(projectIDs(12));
    unsized.focusItem(QStringLiteral("/work/p10"), detailsOf);
    unsized.focusItem(QStringLiteral("/work/p11"), detailsOf); // the later request wins
    unsized.resize(1040, 780);
    unsized.show();
    unsized.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&unsized));
    ASSERT_NE(unsized.cardAt(11), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), detailsOf(*unsized.cardAt(11)));
    EXPECT_TRUE(unsized.viewport()->rect().contains(
        QRect(unsized.cardAt(11)->mapTo(unsized.viewport(), QPoint()),
              unsized.cardAt(11)->size())));
}

// A card whose status items take more lines than the usual height holds makes the cards of
// its page taller, so nothing of it is pushed out; the next page starts at the usual height.
TEST_F(CardGridTest, aCardThatNeedsMoreRoomMakesThePagesCardsTaller)
{
    grid.setItemProvider([](ProjectCardView &card, const QString &id) {
        BrowserCardModel model;
        model.project.id = id;
        model.project.path = id;
        model.project.name = id.section(QLatin1Char('/'), -1);
        if (id.endsWith(QLatin1String("busy"))) {
            model.project.notificationCount = 12;
            model.project.processingCount = 3;
            model.teamNames = {QStringLiteral("Platform Infrastructure"),
                               QStringLiteral("Design Systems Guild")};
            model.weeklyTokens = 5000;
            model.weeklyShare = 0.036;
            model.gitStatus = ProjectGitStatus{true, "main", "origin/main", 0, 4, {}};
        }
        card.configure(model, {});
    });
    grid.resize(360, 780);
    const double usual = AdaptiveCardFlowLayout::cardHeight;
    grid.replaceItems({QStringLiteral("/work/quiet"), QStringLiteral("/work/busy")});
    ProjectCardView *quiet = grid.cardAt(0);
    ProjectCardView *busy = grid.cardAt(1);
    ASSERT_TRUE(quiet && busy);
    EXPECT_GT(busy->requiredHeight(busy->width()), usual);
    EXPECT_GE(busy->height(), busy->requiredHeight(busy->width()));
    EXPECT_EQ(quiet->height(), busy->height());
    EXPECT_EQ(busy->geometry().top(), quiet->geometry().bottom() + 1
                                          + int(AdaptiveCardFlowLayout::lineSpacing));
    for (QWidget *child : busy->findChildren<QWidget *>()) {
        const QRect area(child->mapTo(busy, QPoint()), child->size());
        EXPECT_TRUE(!child->isVisible() || busy->rect().contains(area))
            << child->objectName().toStdString();
    }

    grid.replaceItems(projectIDs(3));
    EXPECT_EQ(grid.cardAt(0)->height(), usual);
}

// A widget above the cards whose height the test sets.
class LeadingBar final : public QWidget
{
public:
    QSize sizeHint() const override { return {100, barHeight}; }
    void setBarHeight(int height)
    {
        barHeight = height;
        updateGeometry();
        QCoreApplication::processEvents(); // the grid's layout request
    }

private:
    int barHeight = 200;
};

// What the top of the view shows stays there as the widget above the cards comes or changes
// its height, as the view's height changes and as the items are replaced: the card the user
// scrolled to, or the place in the widget above the cards; new items start at the first card.
TEST_F(CardGridTest, theViewsTopStaysThroughChangesOfTheWidgetAboveTheCards)
{
    const struct
    {
        const char *name;
        std::function<void(ProjectCardGrid &view, LeadingBar &bar)> change;
        int offset;
    } rows[] = {
        {"it comes over a scrolled list: the same cards", [](auto &view, auto &bar) {
             view.setScrollOffset(1000);
             view.setLeadingWidget(&bar);
         }, 1200},
        {"it grows over the cards", [](auto &view, auto &bar) {
             view.setLeadingWidget(&bar);
             view.verticalScrollBar()->setValue(1200);
             bar.setBarHeight(260);
         }, 1260},
        {"it grows under the user's eyes", [](auto &view, auto &bar) {
             view.setLeadingWidget(&bar);
             view.verticalScrollBar()->setValue(50);
             bar.setBarHeight(260);
         }, 50},
        {"it shrinks above the place shown: the first card", [](auto &view, auto &bar) {
             view.setLeadingWidget(&bar);
             view.verticalScrollBar()->setValue(150);
             bar.setBarHeight(100);
         }, 100},
        {"new items below the cards scrolled to: the first card", [](auto &view, auto &bar) {
             view.setLeadingWidget(&bar);
             view.verticalScrollBar()->setValue(1200);
             view.replaceItems(projectIDs(200));
         }, 200},
        {"new items while it shows: it stays", [](auto &view, auto &bar) {
             view.setLeadingWidget(&bar);
             view.verticalScrollBar()->setValue(50);
             view.replaceItems(projectIDs(200));
         }, 50},
        {"a tall view and a short one again: the same cards", [](auto &view, auto &bar) {
             view.replaceItems(projectIDs(30)); // ten rows
             view.setLeadingWidget(&bar);
             view.verticalScrollBar()->setValue(1200);
             view.resize(1040, 2000);
             EXPECT_LT(view.scrollOffset(), 1200);
             view.resize(1040, 780);
         }, 1200},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        grid.setLeadingWidget(nullptr);
        grid.resize(1040, 780);
        grid.replaceItems(projectIDs(300));
        // A focused card would be kept in view through the changes.
        if (QWidget *focused = QApplication::focusWidget())
            focused->clearFocus();
        LeadingBar bar;
        row.change(grid, bar);
        EXPECT_EQ(grid.scrollOffset(), row.offset);
        EXPECT_EQ(bar.geometry(),
                  QRect(0, -row.offset, grid.viewport()->width(), bar.sizeHint().height()));
        grid.setLeadingWidget(nullptr); // before the bar goes
    }
}

// The browser is ended while a card's control may hold the focus (the detail pane opened from
// its Details button): the grid must not follow a focus change made by its own destruction.
TEST(CardGridFocusTest, theGridEndsWhileACardControlHoldsTheFocus)
{
    auto grid = std::make_unique<ProjectCardGrid>();
    grid->setItemProvider([](ProjectCardView &card, const QString &id) {
        BrowserCardModel model;
        model.project.id = id;
        model.project.path = id;
        model.project.name = id.section(QLatin1Char('/'), -1);
        card.configure(model, {});
    });
    grid->resize(1040, 780);
    grid->show();
    grid->replaceItems(projectIDs(3));
    grid->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(grid.get()));
    QWidget *details = grid->cardAt(0)->findChild<QWidget *>(QStringLiteral("detailsButton"));
    details->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(details->hasFocus());
    grid.reset();
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
}
