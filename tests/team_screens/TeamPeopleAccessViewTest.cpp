#include "TeamScreensWorld.h"

#include "team_screens/TeamPeopleAccessView.h"

#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace tolvaran;
using tolvaran::fixtures::waitUntil;

namespace {

// This device ("Ada") and two teammates registered directly with the server: "Bo", a member,
// and "Cy", an admin; the legacy key is retired.
class TeamPeopleAccessViewTest : public TeamScreensWorld
{
protected:
    void SetUp() override
    {
        TeamScreensWorld::SetUp();
        server.team(teamId).legacyKeyEnabled = false;
    }

    FixedScreenTeam *joinAs(TeamInstallationRole role)
    {
        FixedScreenTeam *team =
            registeredTeam(QStringLiteral("mine"), QStringLiteral("Ada"), role);
        server.registerDevice(teamId, QStringLiteral("device-bo"), QStringLiteral("Bo"),
                              TeamInstallationRole::member);
        server.registerDevice(teamId, QStringLiteral("device-cy"), QStringLiteral("Cy"),
                              TeamInstallationRole::admin);
        connect(*team);
        return team;
    }

    static QWidget *row(const TeamPeopleAccessView &view, const QString &deviceId)
    {
        const auto rows = view.findChildren<QWidget *>(QStringLiteral("installationRow"));
        for (QWidget *candidate : rows) {
            if (candidate->property("deviceId").toString() == deviceId && !candidate->isHidden())
                return candidate;
        }
        return nullptr;
    }

    static QPushButton *manageButton(const TeamPeopleAccessView &view, const QString &deviceId)
    {
        QWidget *found = row(view, deviceId);
        return found ? found->findChild<QPushButton *>(QStringLiteral("manageButton")) : nullptr;
    }

    static QStringList menuEntries(QPushButton *manage)
    {
        QStringList entries;
        for (QAction *action : manage->menu()->actions())
            entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return entries;
    }

    static void trigger(QPushButton *manage, const QString &entry)
    {
        for (QAction *action : manage->menu()->actions()) {
            if (action->text() == entry)
                return action->trigger();
        }
        FAIL() << "no entry " << entry.toStdString();
    }

    static QString shownMessage(const TeamPeopleAccessView &view)
    {
        auto *label = view.findChild<QLabel *>(QStringLiteral("message"));
        return label->isHidden() ? QString() : label->text();
    }

    static std::optional<TeamInstallationRole> serverRole(fixtures::LocalTeamServer &server,
                                                          const QString &teamId,
                                                          const QString &deviceId)
    {
        for (const TeamInstallation &installation : server.team(teamId).installations) {
            if (installation.deviceId == deviceId)
                return installation.role;
        }
        return std::nullopt;
    }
};

TEST_F(TeamPeopleAccessViewTest, theOwnerIsOfferedWhatEachInstallationsRoleAllows)
{
    FixedScreenTeam *team = joinAs(TeamInstallationRole::owner);
    TeamPeopleAccessView view(*team);
    view.show();
    ASSERT_NE(row(view, team->settings().deviceID()), nullptr);
    EXPECT_EQ(manageButton(view, team->settings().deviceID()), nullptr); // never itself
    EXPECT_EQ(menuEntries(manageButton(view, QStringLiteral("device-bo"))),
              (QStringList{QStringLiteral("Make Admin"), QStringLiteral("Remove from Team")}));
    EXPECT_EQ(menuEntries(manageButton(view, QStringLiteral("device-cy"))),
              (QStringList{QStringLiteral("Remove Admin Role"), QStringLiteral("-"),
                           QStringLiteral("Transfer Ownership"),
                           QStringLiteral("Remove from Team")}));
    EXPECT_NE(view.findChild<QPushButton *>(QStringLiteral("rotateButton")), nullptr);
}

TEST_F(TeamPeopleAccessViewTest, roleChangesReachTheServerAndTheListFollows)
{
    FixedScreenTeam *team = joinAs(TeamInstallationRole::owner);
    TeamPeopleAccessView view(*team);
    view.show();

    trigger(manageButton(view, QStringLiteral("device-bo")), QStringLiteral("Make Admin"));
    EXPECT_TRUE(view.isWorking());
    EXPECT_FALSE(manageButton(view, QStringLiteral("device-cy"))->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return !view.isWorking(); }));
    EXPECT_EQ(shownMessage(view), QStringLiteral("Bo is now an admin."));
    EXPECT_EQ(serverRole(server, teamId, QStringLiteral("device-bo")),
              TeamInstallationRole::admin);
    // The refreshed status reached the list: Bo is now offered the admin's entries.
    ASSERT_TRUE(waitUntil([&] {
        QPushButton *manage = manageButton(view, QStringLiteral("device-bo"));
        return manage && menuEntries(manage).first() == QStringLiteral("Remove Admin Role");
    }));

    trigger(manageButton(view, QStringLiteral("device-cy")), QStringLiteral("Remove Admin Role"));
    ASSERT_TRUE(waitUntil([&] { return !view.isWorking(); }));
    EXPECT_EQ(shownMessage(view), QStringLiteral("Cy is now a member."));
    EXPECT_EQ(serverRole(server, teamId, QStringLiteral("device-cy")),
              TeamInstallationRole::member);
}

TEST_F(TeamPeopleAccessViewTest, ownershipMovesOnlyAfterTheQuestionIsConfirmed)
{
    FixedScreenTeam *team = joinAs(TeamInstallationRole::owner);
    TeamPeopleAccessView view(*team);
    view.show();
    const qsizetype before = server.requests().size();
    trigger(manageButton(view, QStringLiteral("device-cy")), QStringLiteral("Transfer Ownership"));
    QMessageBox *alert = view.transferAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), QStringLiteral("Transfer ownership to Cy?"));
    EXPECT_EQ(server.requests().size(), before);

    for (QAbstractButton *choice : alert->buttons()) {
        if (choice->text() == QStringLiteral("Transfer Ownership"))
            choice->click();
    }
    ASSERT_TRUE(waitUntil([&] { return view.statusMessage().has_value(); }));
    EXPECT_EQ(shownMessage(view), QStringLiteral("Ownership transferred to Cy."));
    EXPECT_EQ(serverRole(server, teamId, QStringLiteral("device-cy")),
              TeamInstallationRole::owner);
}

TEST_F(TeamPeopleAccessViewTest, rotatingAndRemovingStoreTheServersNewKey)
{
    FixedScreenTeam *team = joinAs(TeamInstallationRole::owner);
    TeamPeopleAccessView view(*team);
    view.show();

    auto *rotate = view.findChild<QPushButton *>(QStringLiteral("rotateButton"));
    EXPECT_EQ(rotate->text(), QStringLiteral("Rotate Team Key"));
    QTest::mouseClick(rotate, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !view.isWorking(); }));
    EXPECT_EQ(shownMessage(view), QStringLiteral("Team key rotated."));
    EXPECT_NE(team->settings().readKey(), tolvaran::fixtures::teamKeys::alpha);
    EXPECT_EQ(team->settings().readKey(), server.team(teamId).key);

    trigger(manageButton(view, QStringLiteral("device-bo")), QStringLiteral("Remove from Team"));
    ASSERT_TRUE(waitUntil([&] { return !view.isWorking(); }));
    EXPECT_EQ(shownMessage(view), QStringLiteral("Installation removed and team key rotated."));
    EXPECT_FALSE(serverRole(server, teamId, QStringLiteral("device-bo")).has_value());
    EXPECT_EQ(team->settings().readKey(), server.team(teamId).key);
    ASSERT_TRUE(waitUntil([&] { return row(view, QStringLiteral("device-bo")) == nullptr; }));
}

TEST_F(TeamPeopleAccessViewTest, aRefusedOperationShowsTheServersSentence)
{
    FixedScreenTeam *team = joinAs(TeamInstallationRole::admin);
    TeamPeopleAccessView view(*team);
    view.show();
    // An admin may only remove; the server decides whether it may remove another admin.
    EXPECT_EQ(menuEntries(manageButton(view, QStringLiteral("device-cy"))),
              QStringList{QStringLiteral("Remove from Team")});
    server.failNext("DELETE", QStringLiteral("/v1/team/installations/device-cy"), 403,
                    R"({"error": "Admins cannot remove other admins."})");
    trigger(manageButton(view, QStringLiteral("device-cy")), QStringLiteral("Remove from Team"));
    ASSERT_TRUE(waitUntil([&] { return !view.isWorking(); }));
    EXPECT_EQ(shownMessage(view), QStringLiteral("Admins cannot remove other admins."));
    EXPECT_FALSE(view.statusMessage().has_value());
    EXPECT_TRUE(serverRole(server, teamId, QStringLiteral("device-cy")).has_value());
}

TEST_F(TeamPeopleAccessViewTest, whileTheLegacyKeyAdmitsDevicesTheOwnerIsAskedToUpgrade)
{
    server.team(teamId).legacyKeyEnabled = true;
    server.team(teamId).unregisteredRecentMembers = {QStringLiteral("Dee"), QStringLiteral("Eli")};
    FixedScreenTeam *team = joinAs(TeamInstallationRole::owner);
    TeamPeopleAccessView view(*team);
    view.show();
    EXPECT_EQ(manageButton(view, QStringLiteral("device-bo")), nullptr);
    auto *upgrade = view.findChild<QPushButton *>(QStringLiteral("upgradeButton"));
    ASSERT_NE(upgrade, nullptr);
    EXPECT_FALSE(upgrade->isEnabled());
    EXPECT_EQ(view.findChild<QLabel *>(QStringLiteral("waitingFor"))->text(),
              QStringLiteral("Waiting for: Dee, Eli"));

    server.team(teamId).unregisteredRecentMembers.clear();
    server.sendSnapshots(teamId);
    ASSERT_TRUE(waitUntil([&] {
        auto *button = view.findChild<QPushButton *>(QStringLiteral("upgradeButton"));
        return button && !button->isHidden() && button->isEnabled()
               && !view.findChild<QLabel *>(QStringLiteral("waitingFor"));
    }));
    view.findChild<QPushButton *>(QStringLiteral("upgradeButton"))->click();
    ASSERT_TRUE(waitUntil([&] { return !view.isWorking(); }));
    EXPECT_EQ(shownMessage(view),
              QStringLiteral("Security upgrade complete. A new team key is ready to share."));
    EXPECT_FALSE(server.team(teamId).legacyKeyEnabled);
}

TEST_F(TeamPeopleAccessViewTest, peopleWithoutAnInstallationShowAsLegacyAccess)
{
    FixedScreenTeam *fresh = workspace.addListedTeam(QStringLiteral("fresh"));
    TeamPeopleAccessView waiting(*fresh);
    bool saysWaiting = false;
    for (QLabel *label : waiting.findChildren<QLabel *>())
        saysWaiting |= label->text() == QStringLiteral("Waiting for team access information...");
    EXPECT_TRUE(saysWaiting);
    EXPECT_TRUE(waiting.findChildren<QWidget *>(QStringLiteral("installationRow")).isEmpty());

    // "bo" differs from the installation's "Bo" only in case: the same person. "Dee" has no
    // installation.
    teammate(QStringLiteral("bo-laptop"), QStringLiteral(" bo"));
    teammate(QStringLiteral("dee-laptop"), QStringLiteral("Dee"));
    FixedScreenTeam *team = joinAs(TeamInstallationRole::member);
    TeamPeopleAccessView view(*team);
    ASSERT_TRUE(waitUntil([&] { return team->service().connectedPeople().size() == 3; }));
    const auto legacy = view.findChildren<QWidget *>(QStringLiteral("connectedPersonRow"));
    ASSERT_EQ(legacy.size(), 1);
    QStringList legacyTexts;
    for (QLabel *label : legacy.first()->findChildren<QLabel *>())
        legacyTexts << label->text();
    EXPECT_TRUE(legacyTexts.contains(QStringLiteral("Dee")));
    EXPECT_TRUE(legacyTexts.contains(QStringLiteral("Online \u00B7 Legacy team access")));
    QStringList details;
    for (QLabel *label : view.findChildren<QLabel *>(QStringLiteral("installationDetail")))
        details << label->text().section(QStringLiteral(" \u00B7 "), 0, 1);
    ASSERT_EQ(details.size(), 3);
    EXPECT_EQ(details[0], QStringLiteral("Member \u00B7 Online")); // this device, connected
    EXPECT_EQ(details[1], QStringLiteral("Member \u00B7 Online")); // Bo, as " bo"
    EXPECT_TRUE(details[2].startsWith(QStringLiteral("Admin \u00B7 Last seen ")));
    // A member sees no key tools and no menus.
    EXPECT_EQ(view.findChild<QPushButton *>(QStringLiteral("rotateButton")), nullptr);
    EXPECT_TRUE(view.findChildren<QPushButton *>(QStringLiteral("manageButton")).isEmpty());
}

} // namespace
