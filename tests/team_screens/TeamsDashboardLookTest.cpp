// How the teams dashboard looks: it fits the window's least width at the default text size,
// its parts wrapping, stacking or scrolling within their own box, and the selected team's
// row keeps its text legible on the selection highlight in light and dark palettes.
#include "TeamScreensWorld.h"

#include "support/widgets/FocusStops.h"
#include "support/widgets/Palettes.h"
#include "support/widgets/ScopedApplicationFont.h"
#include "team_screens/TeamsDashboardView.h"
#include "widgets/BrowserStyle.h"
#include "widgets/SystemColors.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QTest>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

// The program window's least width, which the dashboard must fit at the default text size.
constexpr int windowLeastWidth = 400;
// The least contrast of text against its background.
constexpr double textContrast = 4.5;

class TeamsDashboardLookTest : public TeamScreensWorld
{
protected:
    void SetUp() override
    {
        TeamScreensWorld::SetUp();
        fillEveryTab();
    }

    std::unique_ptr<TeamsDashboardView> dashboard(int width)
    {
        auto view = std::make_unique<TeamsDashboardView>(workspace, [] {});
        view->resize(width, 700);
        view->show();
        runQueuedWork();
        return view;
    }
};

// The widgets of `view` that show beyond its sides, or narrower than they need, and are not
// in a scrolling area (which the user can scroll to them).
QStringList clippedParts(TeamsDashboardView &view)
{
    QStringList clipped;
    for (QWidget *part : view.findChildren<QWidget *>()) {
        if (!part->isVisible() || part->isWindow())
            continue;
        bool scrolls = false;
        for (QWidget *above = part->parentWidget(); above && above != &view;
             above = above->parentWidget()) {
            if (qobject_cast<QAbstractScrollArea *>(above))
                scrolls = true;
        }
        if (scrolls)
            continue;
        const QRect area(part->mapTo(&view, QPoint()), part->size());
        const bool squeezed = qobject_cast<QAbstractButton *>(part)
                              && part->width() < part->minimumSizeHint().width();
        if (area.left() < 0 || area.right() >= view.width() || squeezed)
            clipped << describeWidget(part);
    }
    return clipped;
}

TEST_F(TeamsDashboardLookTest, theDashboardFitsTheWindowsLeastWidthOnEveryTab)
{
    for (const int width : {windowLeastWidth, 500, 800}) {
        auto view = dashboard(width);
        for (const TeamDashboardTab tab : allTeamDashboardTabs) {
            SCOPED_TRACE(QStringLiteral("%1 px, %2").arg(width).arg(rawValue(tab)).toStdString());
            view->selectTab(tab);
            runQueuedWork();
            QCoreApplication::processEvents();
            EXPECT_LE(view->minimumSizeHint().width(), windowLeastWidth);
            EXPECT_EQ(clippedParts(*view), QStringList());
            // The tab's content needs no sideways scrolling either.
            auto *content = view->findChild<QWidget *>(QStringLiteral("tabContent"));
            ASSERT_NE(content, nullptr);
            EXPECT_LE(content->minimumSizeHint().width(), content->parentWidget()->width());
        }
    }
}

// On a short overview (a narrow window, where the team list stands above it and its figures
// and tabs wrap) the team's title, figures and tabs scroll with the tab's content, which keeps
// at least half the overview's height; a tab button holding the focus keeps it as they move,
// in view.
TEST_F(TeamsDashboardLookTest, aShortOverviewScrollsItsTitleFiguresAndTabsWithTheTab)
{
    auto view = dashboard(1000);
    auto *overview = view->findChild<QWidget *>(QStringLiteral("teamOverview"));
    auto *head = view->findChild<QWidget *>(QStringLiteral("overviewHead"));
    auto *content = view->findChild<QWidget *>(QStringLiteral("tabContent"));
    const auto scrolls = [&] {
        QCoreApplication::processEvents();
        return content->parentWidget()->isAncestorOf(head);
    };
    ASSERT_FALSE(scrolls());
    auto *tabs = view->findChild<QWidget *>(QStringLiteral("teamTabBar"));
    QWidget *people = tabs->findChildren<QAbstractButton *>().at(2);
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    people->setFocus(Qt::TabFocusReason);

    view->resize(windowLeastWidth, 650);
    ASSERT_TRUE(scrolls());
    EXPECT_TRUE(people->hasFocus());
    auto *area = qobject_cast<QAbstractScrollArea *>(
        content->parentWidget()->parentWidget()->parentWidget());
    ASSERT_NE(area, nullptr);
    EXPECT_GE(2 * area->height(), overview->height());
    // Scrolled so that the focused tab shows.
    EXPECT_TRUE(area->viewport()->rect().contains(
        QRect(people->mapTo(area->viewport(), QPoint()), people->size())));

    view->resize(1000, 700);
    EXPECT_FALSE(scrolls());
    EXPECT_TRUE(people->hasFocus());
}

// At a larger text size the dashboard may need more than the window's least width, but it
// stays within what the same layout needs at the default size, grown with the text.
TEST_F(TeamsDashboardLookTest, atLargeTextTheDashboardGrowsNoMoreThanItsText)
{
    constexpr double points = 15;
    ScopedApplicationFont font(points);
    auto view = dashboard(1000);
    for (const TeamDashboardTab tab : allTeamDashboardTabs) {
        SCOPED_TRACE(rawValue(tab).toStdString());
        view->selectTab(tab);
        runQueuedWork();
        EXPECT_LE(view->minimumSizeHint().width(), windowLeastWidth * points / 9);
        view->resize(view->minimumSizeHint().width(), 700);
        QCoreApplication::processEvents();
        EXPECT_EQ(clippedParts(*view), QStringList());
    }
}

// The grey "Team connected" under a selected team's name: its colour against the highlight
// drawn around it.
TEST_F(TeamsDashboardLookTest, aSelectedTeamsConnectionStaysLegibleOnTheHighlight)
{
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        ScopedPalette palette(dark ? darkPalette() : lightPalette());
        auto view = dashboard(1000);
        auto *list = view->findChild<QListWidget *>(QStringLiteral("teamList"));
        ASSERT_TRUE(list->item(0)->isSelected());
        const QImage drawn = list->viewport()->grab().toImage();
        auto *connection = list->itemWidget(list->item(0))->findChild<QLabel *>(
            QStringLiteral("teamConnection"));
        ASSERT_NE(connection, nullptr);
        ASSERT_EQ(connection->text(), QStringLiteral("Team connected"));
        const QRect text(connection->mapTo(list->viewport(), QPoint()), connection->size());
        const QColor highlight = drawn.pixelColor(1, text.center().y());
        EXPECT_EQ(highlight, QApplication::palette().color(QPalette::Highlight));
        const QColor drawnIn = connection->palette().color(QPalette::WindowText);
        EXPECT_EQ(drawnIn.alpha(), 255);
        EXPECT_GE(SystemColors::contrastRatio(drawnIn, highlight), textContrast);

        // Chosen no longer, it is secondary text on the list's base again.
        list->item(1)->setSelected(true);
        EXPECT_EQ(connection->palette().color(QPalette::WindowText),
                  BrowserStyle::secondaryLabelColor(QApplication::palette()));
    }
}

} // namespace
