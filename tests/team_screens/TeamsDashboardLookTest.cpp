// How the teams dashboard looks: the selected team's row keeps its text legible on the
// selection highlight in light and dark palettes.
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

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

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
