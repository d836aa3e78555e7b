#include "TeamScreensWorld.h"

#include "team_screens/TeamInlineSettingsView.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tolvaran;
using tolvaran::fixtures::waitUntil;

namespace {

class TeamInlineSettingsViewTest : public TeamScreensWorld
{
protected:
    static void typeTeamName(TeamInlineSettingsView &view, const QString &name)
    {
        auto *field = view.findChild<QLineEdit *>(QStringLiteral("teamNameField"));
        field->clear();
        QTest::keyClicks(field, name);
    }

    static QString shownMessage(const TeamInlineSettingsView &view)
    {
        auto *label = view.findChild<QLabel *>(QStringLiteral("message"));
        return label->isHidden() ? QString() : label->text();
    }
};

TEST_F(TeamInlineSettingsViewTest, savingRenamesOnTheServerOnlyWhenThisDeviceMayAndNeedsTo)
{
    struct Case
    {
        const char *name;
        TeamInstallationRole role;
        QString typedName;
        int renames;
    };
    const Case cases[] = {
        {"unchanged name (spaces trimmed)", TeamInstallationRole::owner, QStringLiteral(" Core "),
         0},
        {"owner renames", TeamInstallationRole::owner, QStringLiteral("Platform"), 1},
        {"admin renames", TeamInstallationRole::admin, QStringLiteral("Platform"), 1},
        {"member keeps the name to itself", TeamInstallationRole::member,
         QStringLiteral("Mine"), 0},
    };
    int profile = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        server.team(teamId).name = QStringLiteral("Core");
        ++profile;
        FixedScreenTeam *team = registeredTeam(QStringLiteral("p%1").arg(profile),
                                               QStringLiteral("Ada%1").arg(profile), c.role);
        connect(*team);
        ASSERT_EQ(team->service().teamName(), QStringLiteral("Core"));
        const int before = requestsTo("PUT", QStringLiteral("/v1/team"));
        TeamInlineSettingsView view(*team);
        typeTeamName(view, c.typedName);
        QTest::mouseClick(view.findChild<QPushButton *>(QStringLiteral("saveButton")),
                          Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return !view.isWorking(); }));

        EXPECT_EQ(shownMessage(view), QStringLiteral("Team settings saved."));
        EXPECT_EQ(requestsTo("PUT", QStringLiteral("/v1/team")) - before, c.renames);
        EXPECT_EQ(server.team(teamId).name,
                  c.renames ? c.typedName.trimmed() : QStringLiteral("Core"));
        EXPECT_EQ(defaults.string(team->settings().keyPrefix() + QStringLiteral(".name")),
                  c.typedName.trimmed());
    }
}

TEST_F(TeamInlineSettingsViewTest, aRefusedRenameShowsTheServersSentenceAndStoresNothing)
{
    FixedScreenTeam *team = registeredTeam(QStringLiteral("p"), QStringLiteral("Ada"),
                                           TeamInstallationRole::owner);
    connect(*team);
    server.failNext("PUT", QStringLiteral("/v1/team"), 423,
                    R"({"error": "Team names are frozen during the audit."})");
    TeamInlineSettingsView view(*team);
    typeTeamName(view, QStringLiteral("Platform"));
    view.save();
    EXPECT_TRUE(view.isWorking());
    ASSERT_TRUE(waitUntil([&] { return !view.isWorking(); }));

    EXPECT_EQ(shownMessage(view), QStringLiteral("Team names are frozen during the audit."));
    EXPECT_FALSE(view.statusMessage().has_value());
    EXPECT_EQ(defaults.string(team->settings().keyPrefix() + QStringLiteral(".name")),
              QStringLiteral("Core"));
    // A copy confirmation stays hidden behind the error until the next save.
    view.copyTeamKey();
    EXPECT_EQ(shownMessage(view), QStringLiteral("Team names are frozen during the audit."));
}

TEST_F(TeamInlineSettingsViewTest, aCancelledRenameStoresNothing)
{
    FixedScreenTeam *team = registeredTeam(QStringLiteral("p"), QStringLiteral("Ada"),
                                           TeamInstallationRole::owner);
    connect(*team);
    server.delayNext("PUT", QStringLiteral("/v1/team"), std::chrono::milliseconds(600));
    TeamInlineSettingsView view(*team);
    typeTeamName(view, QStringLiteral("Platform"));
    view.save();
    ASSERT_TRUE(view.cancelRunningCall());
    ASSERT_TRUE(waitUntil([&] { return !view.isWorking(); }));
    EXPECT_TRUE(view.errorMessage().has_value());
    EXPECT_EQ(defaults.string(team->settings().keyPrefix() + QStringLiteral(".name")),
              QStringLiteral("Core"));
    EXPECT_FALSE(view.cancelRunningCall());
}

TEST_F(TeamInlineSettingsViewTest, copyIsOfferedOnlyWithAStoredKey)
{
    FixedScreenTeam *keeper = registeredTeam(QStringLiteral("keeper"), QStringLiteral("Ada"),
                                             TeamInstallationRole::owner);
    TeamInlineSettingsView withKey(*keeper);
    withKey.show();
    EXPECT_TRUE(withKey.findChild<QPushButton *>(QStringLiteral("copyKeyButton"))->isVisible());

    FixedScreenTeam *member = registeredTeam(QStringLiteral("member"), QStringLiteral("Bo"),
                                             TeamInstallationRole::member, false);
    TeamInlineSettingsView withoutKey(*member);
    withoutKey.show();
    EXPECT_FALSE(
        withoutKey.findChild<QPushButton *>(QStringLiteral("copyKeyButton"))->isVisible());
}

} // namespace
