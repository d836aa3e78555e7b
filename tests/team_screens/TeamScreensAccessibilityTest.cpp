// What a keyboard or screen-reader user meets on the team screens: every control Tab reaches
// is named and shows that it holds the focus, and only that control reads as focused.
#include "TeamScreensWorld.h"

#include "support/widgets/FocusStops.h"
#include "support/widgets/ScopedFocusIndicatorStyle.h"
#include "team_screens/TeamSettingsView.h"
#include "team_screens/TeamsDashboardView.h"
#include "widgets/ButtonActivationKeys.h"

#include <QAccessible>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gmock/gmock.h>

#include <functional>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using ::testing::IsEmpty;

namespace {

class TeamScreensAccessibilityTest : public TeamScreensWorld
{
protected:
    void SetUp() override
    {
        TeamScreensWorld::SetUp();
        fillEveryTab();
    }

    std::unique_ptr<TeamsDashboardView> dashboard()
    {
        auto view = std::make_unique<TeamsDashboardView>(workspace, [] {});
        view->resize(1000, 700);
        view->show();
        runQueuedWork();
        view->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(view.get()));
        return view;
    }

    // The program's style, which draws the focus, and its Return on a button.
    ScopedFocusIndicatorStyle style;
    ButtonActivationKeys keys;
};

TEST_F(TeamScreensAccessibilityTest, everyStopOfTheDashboardAndEachTabIsNamedAndShowsItsFocus)
{
    auto view = dashboard();
    for (const TeamDashboardTab tab : allTeamDashboardTabs) {
        SCOPED_TRACE(rawValue(tab).toStdString());
        view->selectTab(tab);
        runQueuedWork();
        EXPECT_THAT(unnamedStops(view.get()), IsEmpty());
        EXPECT_THAT(stopsWithoutVisibleFocus(view.get()), IsEmpty());
    }
    view->selectTab(TeamDashboardTab::settings);
    auto *copy = view->findChild<QPushButton *>(QStringLiteral("copyKeyButton"));
    ASSERT_TRUE(copy && copy->isVisible());
    EXPECT_EQ(accessibleName(copy), QStringLiteral("Copy team key"));
}

// The sheet that joins a team and the one that edits a team's settings.
TEST_F(TeamScreensAccessibilityTest, everyStopOfTheTeamSheetsIsNamedAndShowsItsFocus)
{
    TeamScreenTeam *joining = workspace.beginAddingTeam();
    TeamScreenTeam *joined = workspace.teams().first();
    for (TeamScreenTeam *team : {joining, joined}) {
        SCOPED_TRACE(team == joining ? "joining" : "editing");
        TeamSettingsView sheet(*team, {}, {});
        sheet.show();
        sheet.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
        EXPECT_THAT(unnamedStops(&sheet), IsEmpty());
        EXPECT_THAT(stopsWithoutVisibleFocus(&sheet), IsEmpty());
        if (team == joining) {
            EXPECT_EQ(accessibleName(sheet.findChild<QWidget *>(QStringLiteral("teamKeyField"))),
                      QStringLiteral("Team key"));
        }
    }
    workspace.discardAddedTeam(joining);
}

// The team list keeps the selected team as its current item, which assistive technology reads
// as focused: only while the focus is in the list may it say so.
TEST_F(TeamScreensAccessibilityTest, onlyTheControlHoldingTheFocusReadsAsFocused)
{
    auto view = dashboard();
    auto *list = view->findChild<QListWidget *>(QStringLiteral("teamList"));
    QWidget *back = view->findChild<QWidget *>(QStringLiteral("backButton"));
    back->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(back->hasFocus());
    EXPECT_EQ(focusedObjects(view.get()), QStringList{QStringLiteral("Back to projects")});

    // Back into the list, the selected team is where the arrows and Tab go on from.
    list->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(focusedObjects(view.get()),
              (QStringList{QStringLiteral("Your Teams"), QStringLiteral("Core")}));
    QTest::keyClick(list, Qt::Key_Tab);
    EXPECT_EQ(workspace.selectedManagementTeamID(), QStringLiteral("other"));
    back->setFocus(Qt::TabFocusReason);
    runQueuedWork();
    EXPECT_EQ(focusedObjects(view.get()).size(), 1);
    list->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(list->currentRow(), 1);
}

// The join sheet gives the focus back to "Add Team", which opened it, when Escape closes it:
// opened by Space or Return on the button, and by assistive technology's press action while
// the focus is elsewhere (on "Back to projects", where the screen opens), which a button
// pressed so does not take.
TEST_F(TeamScreensAccessibilityTest, escapeFromTheJoinSheetReturnsToAddTeam)
{
    auto view = dashboard();
    auto *add = view->findChild<QPushButton *>(QStringLiteral("addTeamButton"));
    QWidget *back = view->findChild<QWidget *>(QStringLiteral("backButton"));
    const auto pressAction = [](QWidget *button) {
        QAccessibleInterface *node = QAccessible::queryAccessibleInterface(button);
        QAccessibleActionInterface *actions = node ? node->actionInterface() : nullptr;
        ASSERT_NE(actions, nullptr);
        actions->doAction(QAccessibleActionInterface::pressAction());
    };
    const struct
    {
        const char *name;
        std::function<void()> open;
    } openers[] = {
        {"Space", [&] { QTest::keyClick(add, Qt::Key_Space); }},
        {"Return", [&] { QTest::keyClick(add, Qt::Key_Return); }},
        {"press action", [&] { pressAction(add); }},
    };
    for (const auto &opener : openers) {
        SCOPED_TRACE(opener.name);
        back->setFocus(Qt::TabFocusReason);
        if (QString::fromLatin1(opener.name) != QStringLiteral("press action")) {
            QTest::keyClick(back, Qt::Key_Tab);
            ASSERT_EQ(QApplication::focusWidget(), add);
        }
        opener.open();
        // The press action clicks after the button has shown itself pressed.
        ASSERT_TRUE(waitUntil([&] { return view->joinSheet() != nullptr; }));
        TeamSettingsView *sheet = view->joinSheet();
        ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));
        runQueuedWork();

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_EQ(view->joinSheet(), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // As the window manager gives the screen back its activation.
        ASSERT_TRUE(activated(view.get()));
        EXPECT_EQ(QApplication::focusWidget(), add)
            << describeWidget(QApplication::focusWidget()).toStdString();
    }
}

} // namespace
