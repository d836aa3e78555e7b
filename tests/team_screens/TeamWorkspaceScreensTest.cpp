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
    tolvaran::fixtures::processEventsFor(std::chrono::milliseconds(50));

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

} // namespace
