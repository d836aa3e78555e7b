// The dashboard over the real team workspace: joining lists and selects the team; a join
// cancelled by closing its sheet leaves nothing behind; leaving removes the stored profile.
#include "TeamScreensWorld.h"

#include "team/TeamWorkspaceStore.h"
#include "team_screens/TeamSettingsView.h"
#include "team_screens/TeamWorkspaceScreens.h"
#include "team_screens/TeamsDashboardView.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace tolvaran;
namespace keys = tolvaran::fixtures::teamKeys;
using tolvaran::fixtures::waitUntil;

namespace {

class TeamWorkspaceScreensTest : public TeamScreensWorld
{
protected:
    void TearDown() override
    {
        dashboard.reset();
        screens.reset();
        store.reset();
        TeamScreensWorld::TearDown();
    }

    void open()
    {
        store = std::make_unique<TeamWorkspaceStore>(defaults, cache, supportFolder(), clock);
        screens = std::make_unique<TeamWorkspaceScreens>(*store);
        dashboard = std::make_unique<TeamsDashboardView>(*screens, [this] { ++closes; });
        dashboard->resize(1000, 700);
        dashboard->show();
    }

    TeamSettingsView &startJoining(const QString &key)
    {
        dashboard->addTeam();
        TeamSettingsView *sheet = dashboard->joinSheet();
        auto *member = sheet->findChild<QLineEdit *>(QStringLiteral("memberNameField"));
        member->clear();
        QTest::keyClicks(member, QStringLiteral("Ada"));
        QTest::keyClicks(sheet->findChild<QLineEdit *>(QStringLiteral("teamKeyField")), key);
        sheet->save();
        return *sheet;
    }

    // Every file below the support folder.
    QStringList storedFiles() const
    {
        QStringList files;
        QDirIterator it(supportFolder(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        return files;
    }

    // Joins through the sheet and waits until the team is listed and registered.
    std::shared_ptr<TeamWorkspace> join(const QString &key)
    {
        startJoining(key);
        if (!waitUntil([&] { return dashboard->joinSheet() == nullptr; }))
            return nullptr;
        std::shared_ptr<TeamWorkspace> joined = store->selectedManagementTeam();
        if (!waitUntil([&] {
                return joined->settings().teamID().has_value()
                       && joined->service().securityStatus().has_value();
            })) {
            return nullptr;
        }
        return joined;
    }

    // Lets the screens take the workspace's queued changes.
    void settle() { tolvaran::fixtures::runQueuedWork(); }

    QPushButton *removeButton() const
    {
        return dashboard->findChild<QPushButton *>(QStringLiteral("removeTeamButton"));
    }

    QString shownFigure(int tile) const
    {
        const QList<QLabel *> values =
            dashboard->findChildren<QLabel *>(QStringLiteral("metricValue"));
        return tile < values.size() ? values.at(tile)->text() : QString();
    }

    QStringList listedIDs() const
    {
        QStringList ids;
        for (const auto &team : store->teams())
            ids << team->id();
        return ids;
    }

    std::unique_ptr<TeamWorkspaceStore> store;
    std::unique_ptr<TeamWorkspaceScreens> screens;
    std::unique_ptr<TeamsDashboardView> dashboard;
    int closes = 0;
};

TEST_F(TeamWorkspaceScreensTest, joiningListsSelectsAndConnectsTheTeam)
{
    open();
    const QStringList before = listedIDs();
    startJoining(keys::alpha);
    ASSERT_TRUE(waitUntil([&] { return dashboard->joinSheet() == nullptr; }));

    ASSERT_EQ(listedIDs().size(), before.size() + 1);
    const auto joined = store->selectedManagementTeam();
    ASSERT_NE(joined, nullptr);
    EXPECT_EQ(joined->settings().teamName(), QStringLiteral("Core"));
    EXPECT_EQ(joined->settings().readKey(), keys::alpha);
    EXPECT_EQ(screens->selectedManagementTeam()->id(), joined->id());
    EXPECT_TRUE(waitUntil([&] {
        return requestsTo("POST", QStringLiteral("/v1/team/installations/register")) == 1;
    }));
}

// Closing the sheet while the server has not answered: no key stored, no team listed,
// nothing on disk, and nothing reaches the server afterwards.
TEST_F(TeamWorkspaceScreensTest, closingTheJoinSheetDuringItsSaveLeavesNothingBehind)
{
    server.delayNext("GET", QStringLiteral("/v1/team/snapshot"), std::chrono::milliseconds(800));
    open();
    const QStringList before = listedIDs();
    const QStringList filesBefore = storedFiles();
    TeamSettingsView &sheet = startJoining(keys::alpha);
    ASSERT_TRUE(sheet.isWorking());
    QTest::keyClick(&sheet, Qt::Key_Escape);
    EXPECT_EQ(dashboard->joinSheet(), nullptr);
    // Past the server's delayed answer. The answer reaches the network stack's own thread,
    // and nothing on this side comes after it in order, so this waits a bounded time.
    tolvaran::fixtures::processEventsFor(std::chrono::milliseconds(1200));

    EXPECT_EQ(listedIDs(), before);
    EXPECT_EQ(storedFiles(), filesBefore);
    defaults.sync();
    QFile stored(defaults.filePath());
    const QByteArray storedDefaults =
        stored.open(QIODevice::ReadOnly) ? stored.readAll() : QByteArray();
    EXPECT_FALSE(storedDefaults.contains(keys::alpha.toUtf8()));
    EXPECT_FALSE(storedDefaults.contains("Core"));
    EXPECT_EQ(requestsTo("POST", QStringLiteral("/v1/team/installations/register")), 0);
}

TEST_F(TeamWorkspaceScreensTest, leavingTheOnlyTeamForgetsItsProfileAndClosesTheScreen)
{
    server.registerDevice(teamId, QStringLiteral("owner-device"), QStringLiteral("Bo"),
                          TeamInstallationRole::owner);
    open();
    startJoining(keys::alpha);
    ASSERT_TRUE(waitUntil([&] { return dashboard->joinSheet() == nullptr; }));
    const auto joined = store->selectedManagementTeam();
    ASSERT_TRUE(waitUntil([&] {
        return joined->settings().teamID().has_value() && joined->service().securityStatus();
    }));
    settle();

    auto *remove = dashboard->findChild<QPushButton *>(QStringLiteral("removeTeamButton"));
    ASSERT_TRUE(remove && !remove->isHidden());
    EXPECT_EQ(remove->text(), QStringLiteral("Leave"));
    remove->click();
    for (QAbstractButton *choice : dashboard->removalAlert()->buttons()) {
        if (choice->text() == QStringLiteral("Leave Team"))
            choice->click();
    }
    ASSERT_TRUE(waitUntil([&] { return closes == 1; }));
    EXPECT_FALSE(listedIDs().contains(joined->id()));
    EXPECT_FALSE(store->hasTeamMemberships());
    EXPECT_FALSE(joined->settings().readKey().has_value());
    EXPECT_EQ(server.team(teamId).installations.size(), 1);
}

// Joining again with the key of a team this computer belongs to would list it twice, with two
// device seats: it is refused, whether the first membership keeps the key or, registered as a
// plain member, no longer does.
TEST_F(TeamWorkspaceScreensTest, joiningATeamThisComputerAlreadyBelongsToIsRefused)
{
    server.registerDevice(teamId, QStringLiteral("owner-device"), QStringLiteral("Bo"),
                          TeamInstallationRole::owner);
    // The first refusal comes while the joined team still waits for its registration.
    server.delayNext("POST", QStringLiteral("/v1/team/installations/register"),
                     std::chrono::milliseconds(1500));
    open();
    const QStringList before = listedIDs();
    startJoining(keys::alpha);
    ASSERT_TRUE(waitUntil([&] { return dashboard->joinSheet() == nullptr; }));
    const QStringList joinedOnce = listedIDs();
    ASSERT_EQ(joinedOnce.size(), before.size() + 1);
    const auto joined = store->selectedManagementTeam();

    const auto refuseSecondJoin = [&] {
        TeamSettingsView &again = startJoining(keys::alpha);
        ASSERT_TRUE(waitUntil([&] { return !again.isWorking(); }));
        EXPECT_EQ(again.errorMessage(),
                  QStringLiteral("This computer is already a member of this team."));
        EXPECT_EQ(again.findChild<QLabel *>(QStringLiteral("errorMessage"))->text(),
                  QStringLiteral("This computer is already a member of this team."));
        QTest::keyClick(&again, Qt::Key_Escape);
        settle();
        EXPECT_EQ(listedIDs(), joinedOnce);
    };
    refuseSecondJoin();
    EXPECT_TRUE(joined->settings().hasStoredKey());

    ASSERT_TRUE(waitUntil([&] {
        return joined->settings().teamID().has_value() && !joined->settings().hasStoredKey();
    }));
    refuseSecondJoin();
    EXPECT_EQ(server.team(teamId).installations.size(), 2);
    EXPECT_EQ(requestsTo("POST", QStringLiteral("/v1/team/installations/register")), 1);
}

// Two teams: leaving one leaves the other listed with its own removal button and figures.
TEST_F(TeamWorkspaceScreensTest, leavingOneOfTwoTeamsKeepsTheOthersLeaveAndFigures)
{
    const QString otherTeam = server.createTeam(QStringLiteral("Other"), keys::beta);
    for (const QString &team : {teamId, otherTeam}) {
        server.registerDevice(team, QStringLiteral("owner-device"), QStringLiteral("Bo"),
                              TeamInstallationRole::owner);
    }
    injectTeammate(server, teamId, QStringLiteral("bo-laptop"), QStringLiteral("Bo"));
    injectTeammate(server, otherTeam, QStringLiteral("cy-laptop"), QStringLiteral("Cy"));
    injectTeammate(server, otherTeam, QStringLiteral("di-laptop"), QStringLiteral("Di"));
    open();
    const auto core = join(keys::alpha);
    ASSERT_NE(core, nullptr);
    const auto other = join(keys::beta);
    ASSERT_NE(other, nullptr);

    const auto leaveAndCheck = [&](const std::shared_ptr<TeamWorkspace> &leaving,
                                   const std::shared_ptr<TeamWorkspace> &staying) {
        SCOPED_TRACE(leaving->service().teamName().toStdString());
        store->selectManagementTeam(staying->id());
        settle();
        const QString stayingPeople = shownFigure(0);
        ASSERT_TRUE(removeButton() && !removeButton()->isHidden());
        ASSERT_EQ(removeButton()->text(), QStringLiteral("Leave"));

        store->selectManagementTeam(leaving->id());
        settle();
        removeButton()->click();
        for (QAbstractButton *choice : dashboard->removalAlert()->buttons()) {
            if (choice->text() == QStringLiteral("Leave Team"))
                choice->click();
        }
        ASSERT_TRUE(waitUntil([&] { return !listedIDs().contains(leaving->id()); }));
        settle();

        EXPECT_EQ(closes, 0);
        store->selectManagementTeam(staying->id());
        settle();
        ASSERT_TRUE(removeButton() && !removeButton()->isHidden());
        EXPECT_EQ(removeButton()->text(), QStringLiteral("Leave"));
        EXPECT_TRUE(removeButton()->isEnabled());
        EXPECT_EQ(shownFigure(0), stayingPeople);
        EXPECT_TRUE(staying->settings().hasRegistration());
        EXPECT_EQ(staying->service().connectionState().state,
                  TeamConnectionState::Case::connected);
    };
    leaveAndCheck(core, other);
    // The other way round: the team left is joined again, then the other one is left.
    const auto coreAgain = join(keys::alpha);
    ASSERT_NE(coreAgain, nullptr);
    leaveAndCheck(other, coreAgain);
}

} // namespace
