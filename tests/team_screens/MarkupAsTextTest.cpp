// What the team server says (team, people and project names, commits, refusals) shows on the
// team screens as the characters it holds, never read as markup.
#include "TeamScreensWorld.h"

#include "support/widgets/ShownText.h"
#include "team_screens/TeamInlineSettingsView.h"
#include "team_screens/TeamPeopleAccessView.h"
#include "team_screens/TeamSettingsView.h"
#include "team_screens/TeamsDashboardView.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

class MarkupAsTextInTheTeamScreens : public TeamScreensWorld
{
protected:
    // What the server says for `field`, beginning with `typed`.
    static QString said(const QString &typed, const char *field)
    {
        return typed + QLatin1Char(' ') + QLatin1String(field);
    }

    // A failed answer whose sentence is `sentence`.
    static QByteArray refusal(const QString &sentence)
    {
        return QJsonDocument(QJsonObject{{QStringLiteral("error"), sentence}}).toJson();
    }

    // This device ("Ada", the owner) on the server's team named after `typed`, with an admin
    // and an older device (only its presence) named after it, its commits and a project
    // shared with a teammate.
    FixedScreenTeam *teamSaying(const QString &typed, int index)
    {
        server.team(teamId).name = said(typed, "team");
        server.team(teamId).legacyKeyEnabled = false;
        FixedScreenTeam *team = registeredTeam(QStringLiteral("team-%1").arg(index),
                                               QStringLiteral("Ada"),
                                               TeamInstallationRole::owner);
        server.registerDevice(teamId, QStringLiteral("admin-%1").arg(index),
                              said(typed, "admin"), TeamInstallationRole::admin);
        ::shareProjects(server, teamId, cache, {QStringLiteral("/work/") + said(typed, "path")},
                        QStringLiteral("Bo"));
        injectTeammate(server, teamId, QStringLiteral("older-%1").arg(index),
                       said(typed, "person"));
        server.injectCommit(teamId, teamCommit(QStringLiteral("commit-%1").arg(index),
                                               said(typed, "author"), said(typed, "repository"),
                                               said(typed, "subject"),
                                               QDateTime::currentMSecsSinceEpoch()));
        connect(*team);
        EXPECT_TRUE(waitUntil([&] {
            const TeamPresenceService &service = team->service();
            return service.teamName() == said(typed, "team")
                   && !service.sharedProjectPaths().isEmpty()
                   && !service.recentCommits().isEmpty() && service.connectedPeople().size() >= 2;
        }));
        return team;
    }

    static void trigger(QPushButton *manage, const QString &entry)
    {
        ASSERT_NE(manage, nullptr);
        for (QAction *action : manage->menu()->actions()) {
            if (action->text() == entry)
                return action->trigger();
        }
        FAIL() << "no entry " << entry.toStdString();
    }
};

TEST_F(MarkupAsTextInTheTeamScreens, theDashboardsTabsShowWhatTheServerSaysAsTyped)
{
    const QList<QPair<TeamDashboardTab, QList<const char *>>> tabs{
        {TeamDashboardTab::settings, {"team"}},
        {TeamDashboardTab::projects, {"path"}},
        {TeamDashboardTab::people, {"admin", "person"}},
        {TeamDashboardTab::commits, {"author", "repository", "subject"}},
    };
    for (int index = 0; index < markupSamples().size(); ++index) {
        const QString typed = markupSamples().at(index);
        teamSaying(typed, index);
        workspace.selectManagementTeam(QStringLiteral("team-%1").arg(index));
        TeamsDashboardView dashboard(workspace, [] {});
        dashboard.resize(1000, 700);
        dashboard.show();
        for (const auto &[tab, fields] : tabs) {
            dashboard.selectTab(tab);
            runQueuedWork();
            for (const char *field : fields) {
                SCOPED_TRACE(field);
                EXPECT_TRUE(showsAsTyped(dashboard, said(typed, field)));
                EXPECT_TRUE(describesAsTyped(dashboard, said(typed, field)));
            }
        }
    }
}

TEST_F(MarkupAsTextInTheTeamScreens, thePeopleAndTheServersRefusalsShowAsTyped)
{
    for (int index = 0; index < markupSamples().size(); ++index) {
        const QString typed = markupSamples().at(index);
        FixedScreenTeam *team = teamSaying(typed, index);
        const QString admin = QStringLiteral("admin-%1").arg(index);

        TeamPeopleAccessView people(*team);
        people.show();
        QPushButton *manage = nullptr;
        for (QWidget *row : people.findChildren<QWidget *>(QStringLiteral("installationRow"))) {
            if (row->property("deviceId").toString() == admin)
                manage = row->findChild<QPushButton *>(QStringLiteral("manageButton"));
        }
        EXPECT_TRUE(describesAsTyped(people, said(typed, "admin")));
        trigger(manage, QStringLiteral("Transfer Ownership"));
        ASSERT_NE(people.transferAlert(), nullptr);
        EXPECT_TRUE(showsAsTyped(*people.transferAlert(), said(typed, "admin")));
        people.transferAlert()->close();
        server.failNext("DELETE", QStringLiteral("/v1/team/installations/") + admin, 403,
                        refusal(said(typed, "refusal")));
        trigger(manage, QStringLiteral("Remove from Team"));
        ASSERT_TRUE(waitUntil([&] { return !people.isWorking(); }));
        EXPECT_TRUE(showsAsTyped(people, said(typed, "refusal")));

        server.failNext("PUT", QStringLiteral("/v1/team"), 423, refusal(said(typed, "rename")));
        TeamInlineSettingsView settings(*team);
        auto *name = settings.findChild<QLineEdit *>(QStringLiteral("teamNameField"));
        name->clear();
        QTest::keyClicks(name, QStringLiteral("Renamed"));
        settings.save();
        ASSERT_TRUE(waitUntil([&] { return !settings.isWorking(); }));
        EXPECT_TRUE(showsAsTyped(settings, said(typed, "rename")));

        TeamSettingsView sheet(*team, [] {}, [] {});
        EXPECT_TRUE(showsAsTyped(sheet, said(typed, "team")));

        // With an admin beside it, the owner may only leave.
        server.failNext("DELETE", QStringLiteral("/v1/team/membership"), 409,
                        refusal(said(typed, "leaving")));
        workspace.selectManagementTeam(team->id());
        TeamsDashboardView dashboard(workspace, [] {});
        dashboard.show();
        dashboard.findChild<QPushButton *>(QStringLiteral("removeTeamButton"))->click();
        ASSERT_NE(dashboard.removalAlert(), nullptr);
        for (QAbstractButton *choice : dashboard.removalAlert()->buttons()) {
            if (choice->text() == QStringLiteral("Leave Team"))
                choice->click();
        }
        ASSERT_TRUE(waitUntil([&] { return dashboard.failureAlert() != nullptr; }));
        EXPECT_TRUE(showsAsTyped(*dashboard.failureAlert(), said(typed, "leaving")));
    }
}

} // namespace
