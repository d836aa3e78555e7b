#include "TeamScreensWorld.h"

#include "team_screens/TeamInlineSettingsView.h"
#include "team_screens/TeamPeopleAccessView.h"
#include "team_screens/TeamSettingsView.h"
#include "team_screens/TeamsDashboardView.h"
#include "widgets/ButtonActivationKeys.h"
#include "widgets/ElidingLabel.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace tolvaran;
namespace keys = tolvaran::fixtures::teamKeys;
using tolvaran::fixtures::waitUntil;

namespace {

class TeamsDashboardViewTest : public TeamScreensWorld
{
protected:
    std::unique_ptr<TeamsDashboardView> dashboard()
    {
        auto view = std::make_unique<TeamsDashboardView>(workspace, [this] { ++closes; });
        view->resize(1000, 700);
        view->show();
        return view;
    }

    // Lets the dashboard's queued render run.
    static void settle() { tolvaran::fixtures::runQueuedWork(); }

    static QPushButton *removeButton(const TeamsDashboardView &view)
    {
        return view.findChild<QPushButton *>(QStringLiteral("removeTeamButton"));
    }

    static void press(QMessageBox *alert, const QString &title)
    {
        ASSERT_NE(alert, nullptr);
        for (QAbstractButton *choice : alert->buttons()) {
            if (choice->text() == title)
                return choice->click();
        }
        FAIL() << "no button " << title.toStdString();
    }

    static QStringList texts(const QWidget &view, const QString &objectName)
    {
        QStringList result;
        for (QLabel *label : view.findChildren<QLabel *>(objectName))
            result << label->text();
        return result;
    }

    int closes = 0;
};

TEST_F(TeamsDashboardViewTest, leavingTheLastTeamRemovesItAndClosesTheScreen)
{
    FixedScreenTeam *team = registeredTeam(QStringLiteral("t"), QStringLiteral("Ada"),
                                           TeamInstallationRole::admin);
    server.registerDevice(teamId, QStringLiteral("owner-device"), QStringLiteral("Bo"),
                          TeamInstallationRole::owner);
    auto view = dashboard();
    ASSERT_EQ(removeButton(*view)->text(), QStringLiteral("Leave"));
    removeButton(*view)->click();
    EXPECT_EQ(view->removalAlert()->text(), QStringLiteral("Leave this team?"));
    EXPECT_EQ(requestsTo("DELETE", QStringLiteral("/v1/team/membership")), 0);
    press(view->removalAlert(), QStringLiteral("Leave Team"));
    EXPECT_TRUE(view->isTeamOperationRunning());
    EXPECT_FALSE(removeButton(*view)->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return closes == 1; }));

    EXPECT_EQ(requestsTo("DELETE", QStringLiteral("/v1/team/membership")), 1);
    EXPECT_TRUE(workspace.teams().isEmpty());
    EXPECT_EQ(server.team(teamId).installations.size(), 1);
    Q_UNUSED(team);
}

TEST_F(TeamsDashboardViewTest, aSoleOwnerDeletesTheTeamAndOtherMembershipsKeepTheScreenOpen)
{
    FixedScreenTeam *owner = registeredTeam(QStringLiteral("owned"), QStringLiteral("Ada"),
                                            TeamInstallationRole::owner);
    connect(*owner);
    // A second membership, of another team.
    const QString otherTeam = server.createTeam(QStringLiteral("Other"), keys::beta);
    FixedScreenTeam *other = workspace.addListedTeam(QStringLiteral("other"));
    other->settings().setMemberName(QStringLiteral("Ada"));
    other->settings().setEnabled(true);
    other->settings().save(keys::beta);
    workspace.selectManagementTeam(QStringLiteral("owned"));
    auto view = dashboard();
    settle();

    ASSERT_EQ(removeButton(*view)->text(), QStringLiteral("Delete Team"));
    removeButton(*view)->click();
    EXPECT_EQ(view->removalAlert()->text(), QStringLiteral("Delete this team?"));
    press(view->removalAlert(), QStringLiteral("Delete Team"));
    ASSERT_TRUE(waitUntil([&] { return !view->isTeamOperationRunning(); }));
    settle();

    EXPECT_FALSE(server.hasTeam(teamId));
    EXPECT_EQ(workspace.teams().size(), 1);
    EXPECT_EQ(closes, 0);
    EXPECT_TRUE(server.hasTeam(otherTeam));
    // Nothing is selected now: the right side says so.
    auto *none = view->findChild<QLabel *>(QStringLiteral("noTeamSelected"));
    EXPECT_TRUE(none->isVisible());
}

// A key holder that never registered deletes the team by its key, which the server refuses
// while devices are registered: the refusal's sentence shows and the team stays.
TEST_F(TeamsDashboardViewTest, aRefusedDeleteShowsTheServersSentenceAndKeepsTheTeam)
{
    server.registerDevice(teamId, QStringLiteral("someone"), QStringLiteral("Bo"),
                          TeamInstallationRole::owner);
    FixedScreenTeam *holder = workspace.addListedTeam(QStringLiteral("holder"));
    holder->settings().setMemberName(QStringLiteral("Ada"));
    holder->settings().setEnabled(true);
    holder->settings().save(keys::alpha);
    auto view = dashboard();
    ASSERT_EQ(removeButton(*view)->text(), QStringLiteral("Delete Team"));
    removeButton(*view)->click();
    press(view->removalAlert(), QStringLiteral("Delete Team"));
    ASSERT_TRUE(waitUntil([&] { return view->failureAlert() != nullptr; }));

    EXPECT_EQ(view->failureAlert()->text(), QStringLiteral("Could Not Update Team"));
    EXPECT_EQ(view->failureAlert()->informativeText(),
              QStringLiteral("This team has registered devices; its owner must delete it."));
    EXPECT_TRUE(server.hasTeam(teamId));
    EXPECT_EQ(workspace.teams().size(), 1);
    EXPECT_TRUE(holder->settings().readKey().has_value());
    EXPECT_TRUE(removeButton(*view)->isEnabled());
    press(view->failureAlert(), QStringLiteral("OK"));
    EXPECT_FALSE(view->teamOperationError().has_value());
}

TEST_F(TeamsDashboardViewTest, addingATeamThroughTheJoinSheetListsAndSelectsIt)
{
    auto view = dashboard();
    EXPECT_TRUE(view->findChild<QLabel *>(QStringLiteral("noTeamSelected"))->isVisible());
    view->findChild<QPushButton *>(QStringLiteral("addTeamButton"))->click();
    TeamSettingsView *sheet = view->joinSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(workspace.teams().isEmpty());
    QTest::keyClicks(sheet->findChild<QLineEdit *>(QStringLiteral("memberNameField")),
                     QStringLiteral("Ada"));
    QTest::keyClicks(sheet->findChild<QLineEdit *>(QStringLiteral("teamKeyField")), keys::alpha);
    sheet->save();
    ASSERT_TRUE(waitUntil([&] { return !view->joinSheet(); }));
    settle();

    ASSERT_EQ(workspace.teams().size(), 1);
    EXPECT_EQ(workspace.selectedManagementTeam(), workspace.teams().first());
    EXPECT_EQ(workspace.discards, 0);
    EXPECT_EQ(view->findChild<QLabel *>(QStringLiteral("overviewTeamName"))->text(),
              QStringLiteral("Core"));
    auto *list = view->findChild<QListWidget *>(QStringLiteral("teamList"));
    EXPECT_EQ(list->count(), 1);
    EXPECT_TRUE(list->item(0)->isSelected());

    // Closing a second sheet without saving forgets its profile and lists nothing more.
    view->addTeam();
    ASSERT_NE(view->joinSheet(), nullptr);
    view->joinSheet()->closeSheet();
    EXPECT_EQ(workspace.discards, 1);
    EXPECT_EQ(workspace.teams().size(), 1);
}

TEST_F(TeamsDashboardViewTest, closingTheScreenWhileAJoinWaitsForTheServerForgetsThePendingTeam)
{
    server.delayNext("GET", QStringLiteral("/v1/team/snapshot"), std::chrono::milliseconds(600));
    auto view = dashboard();
    view->addTeam();
    TeamSettingsView *sheet = view->joinSheet();
    QTest::keyClicks(sheet->findChild<QLineEdit *>(QStringLiteral("memberNameField")),
                     QStringLiteral("Ada"));
    QTest::keyClicks(sheet->findChild<QLineEdit *>(QStringLiteral("teamKeyField")), keys::alpha);
    sheet->save();
    view.reset();
    // Past the server's delayed answer. The answer reaches the network stack's own thread,
    // and nothing on this side comes after it in order, so this waits a bounded time.
    tolvaran::fixtures::processEventsFor(std::chrono::milliseconds(900));

    EXPECT_EQ(workspace.discards, 1);
    EXPECT_TRUE(workspace.teams().isEmpty());
    EXPECT_FALSE(QFile::exists(supportFolder() + QStringLiteral("/teams/added-1/team-key")));
}

TEST_F(TeamsDashboardViewTest, theTabsShowTheSelectedTeamsSettingsProjectsPeopleAndCommits)
{
    FixedScreenTeam *team = registeredTeam(QStringLiteral("t"), QStringLiteral("Ada"),
                                           TeamInstallationRole::owner);
    shareProjects({QStringLiteral("/w/b/api"), QStringLiteral("/w/a/api")});
    commits(25, QDateTime::currentMSecsSinceEpoch() - 3 * 24 * 3600 * 1000LL);
    connect(*team);
    ASSERT_TRUE(waitUntil([&] { return team->service().sharedProjectPaths().size() == 2; }));
    auto view = dashboard();

    EXPECT_EQ(view->selectedTab(), TeamDashboardTab::settings);
    EXPECT_NE(view->inlineSettings(), nullptr);
    EXPECT_TRUE(view->findChildren<QWidget *>(QStringLiteral("dashboardSection")).isEmpty());
    EXPECT_EQ(texts(*view, QStringLiteral("metricValue")),
              (QStringList{QStringLiteral("2"), QStringLiteral("2"), QStringLiteral("25")}));

    view->selectTab(TeamDashboardTab::projects);
    EXPECT_EQ(view->inlineSettings(), nullptr);
    QStringList paths;
    for (QWidget *row : view->findChildren<QWidget *>(QStringLiteral("sharedProjectRow"))) {
        for (QObject *child : row->children()) {
            if (child->objectName() == QStringLiteral("sharedProjectPath"))
                paths << static_cast<ElidingLabel *>(child)->text();
        }
    }
    EXPECT_EQ(paths, (QStringList{QStringLiteral("/w/a/api"), QStringLiteral("/w/b/api")}));

    view->selectTab(TeamDashboardTab::commits);
    const QStringList times = texts(*view, QStringLiteral("commitTime"));
    ASSERT_EQ(times.size(), 20);
    EXPECT_EQ(times.first(), QStringLiteral("3 days ago"));

    view->selectTab(TeamDashboardTab::people);
    EXPECT_NE(view->peopleAccess(), nullptr);
    EXPECT_EQ(view->findChildren<QWidget *>(QStringLiteral("dashboardSection")).size(), 1);

    server.team(teamId).commits.clear();
    server.team(teamId).overlapOverride = QStringList{};
    server.sendSnapshots(teamId);
    ASSERT_TRUE(waitUntil([&] { return team->service().recentCommits().isEmpty(); }));
    view->selectTab(TeamDashboardTab::commits);
    EXPECT_EQ(texts(*view, QStringLiteral("emptyListText")),
              QStringList{QStringLiteral("No recent commits reported.")});
    view->selectTab(TeamDashboardTab::projects);
    EXPECT_EQ(texts(*view, QStringLiteral("emptyListText")),
              QStringList{QStringLiteral("Projects appear here automatically when another team "
                                         "device has the same Git repository.")});
}

// The tab bar reads as a list of page tabs, the chosen one selected.
TEST_F(TeamsDashboardViewTest, theTabsReadAsPageTabs)
{
    registeredTeam(QStringLiteral("t"), QStringLiteral("Ada"), TeamInstallationRole::owner);
    auto view = dashboard();
    settle();
    auto *bar = view->findChild<QWidget *>(QStringLiteral("teamTabBar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(bar)->role(), QAccessible::PageTabList);
    view->selectTab(TeamDashboardTab::people);
    QStringList tabs;
    QStringList selected;
    for (QPushButton *button : bar->findChildren<QPushButton *>()) {
        QAccessibleInterface *tab = QAccessible::queryAccessibleInterface(button);
        EXPECT_EQ(tab->role(), QAccessible::PageTab);
        tabs << tab->text(QAccessible::Name);
        if (tab->state().selected)
            selected << tab->text(QAccessible::Name);
    }
    EXPECT_EQ(tabs, (QStringList{"Settings", "Shared Projects", "People", "Recent Commits"}));
    EXPECT_EQ(selected, QStringList{"People"});
}

TEST_F(TeamsDashboardViewTest, theKeyboardAloneAddsATeamAndLeavesTheScreen)
{
    // Return on a button, as the program has it.
    ButtonActivationKeys keys;
    registeredTeam(QStringLiteral("t"), QStringLiteral("Ada"), TeamInstallationRole::owner);
    auto view = dashboard();
    QApplication::setActiveWindow(view.get());
    auto *add = view->findChild<QPushButton *>(QStringLiteral("addTeamButton"));
    add->setFocus();
    // Tab leaves the header for the team list, steps to the second team, then leaves the list.
    FixedScreenTeam *second = workspace.addListedTeam(QStringLiteral("second"));
    second->settings().setTeamName(QStringLiteral("Second"));
    settle();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("teamList"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(workspace.selectedManagementTeamID(), QStringLiteral("second"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget()->objectName(), QStringLiteral("teamList"));
    workspace.selectManagementTeam(QStringLiteral("t"));
    settle();
    // Enter on a button presses it.
    add->setFocus(Qt::BacktabFocusReason);
    QTest::keyClick(add, Qt::Key_Return);
    ASSERT_NE(view->joinSheet(), nullptr);
    QTest::keyClick(view->joinSheet(), Qt::Key_Escape);
    EXPECT_EQ(view->joinSheet(), nullptr);
    EXPECT_EQ(closes, 0);

    // Escape cancels a running call first, then closes the screen.
    server.delayNext("PUT", QStringLiteral("/v1/team"), std::chrono::milliseconds(600));
    connect(*static_cast<FixedScreenTeam *>(workspace.teams().first()));
    view->inlineSettings()->findChild<QLineEdit *>(QStringLiteral("teamNameField"))->setText(
        QStringLiteral("Renamed"));
    workspace.teams().first()->settings().setTeamName(QStringLiteral("Renamed"));
    view->inlineSettings()->save();
    ASSERT_TRUE(view->inlineSettings()->isWorking());
    // From a field of the tab: the field leaves Escape to the screen.
    QTest::keyClick(
        view->inlineSettings()->findChild<QLineEdit *>(QStringLiteral("memberNameField")),
        Qt::Key_Escape);
    ASSERT_TRUE(waitUntil([&] { return !view->inlineSettings()->isWorking(); }));
    EXPECT_EQ(closes, 0);
    QTest::keyClick(view.get(), Qt::Key_Escape);
    EXPECT_EQ(closes, 1);
}

} // namespace
