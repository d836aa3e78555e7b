// The team workspace's answers over all enabled teams: the window-wide ones (name, combined
// connection) and those per project path.
#include "TeamWorkspaceSharedProject.h"

#include "support/QtPrinters.h"

#include <QSignalSpy>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

using State = TeamConnectionState;
using TeamWorkspaceQueriesTest = TeamWorkspaceWorld;

TEST(TeamWorkspaceConnection, combinesTheEnabledTeamsStates)
{
    const State failed = State::failed(QStringLiteral("Team key refused"));
    const State reconnecting = State::reconnecting(QStringLiteral("Socket closed"));
    const struct
    {
        const char *name;
        QList<State> states;
        State expected;
    } rows[] = {
        {"no team", {}, State::disabled()},
        {"all connected", {State::connected(), State::connected(), State::connected()},
         State::connected()},
        {"one still connecting", {State::connected(), State::connecting()}, State::connecting()},
        {"an enabled team whose service is off", {State::disabled(), State::connected()},
         State::connecting()},
        {"failure before reconnecting", {reconnecting, failed},
         State::failed(TeamWorkspaceStore::unavailableMessage)},
        {"reconnecting before connecting", {State::connecting(), reconnecting},
         State::reconnecting(TeamWorkspaceStore::reconnectingMessage)},
    };
    for (const auto &row : rows) {
        const State combined = TeamWorkspaceStore::combinedConnectionState(row.states);
        EXPECT_EQ(combined.state, row.expected.state) << row.name;
        EXPECT_EQ(combined.message, row.expected.message) << row.name;
    }
}

TEST(TeamWorkspaceNames, sortByTheLocaleIgnoringCaseAndKeepEqualNamesInTeamOrder)
{
    QStringList names{QStringLiteral("beta"), QStringLiteral("Alpha"), QStringLiteral("core"),
                      QStringLiteral("Core")};
    TeamWorkspaceStore::sortTeamNames(names);
    EXPECT_EQ(names, (QStringList{QStringLiteral("Alpha"), QStringLiteral("beta"),
                                  QStringLiteral("core"), QStringLiteral("Core")}));
}

TEST_F(TeamWorkspaceQueriesTest, withoutEnabledTeamsNothingOfTeamsIsAnswered)
{
    storeProfile(TeamSettingsStore::legacyProfileID, {.enabled = false});
    TeamWorkspaceStore &store = open();
    const QString path = QStringLiteral("/work/alpha");
    EXPECT_TRUE(store.enabledTeams().isEmpty());
    EXPECT_EQ(store.teamName(), QStringLiteral("Teams"));
    EXPECT_EQ(store.connectionState().state, State::Case::disabled);
    EXPECT_FALSE(store.summary(path).has_value());
    EXPECT_FALSE(store.usageSummary(path).has_value());
    EXPECT_TRUE(store.teamNames(path).isEmpty());
    EXPECT_TRUE(store.teamIDs(path).isEmpty());
    EXPECT_FALSE(store.localActivity(path).has_value());
    EXPECT_TRUE(store.commitNotifications().isEmpty());

    bool done = false;
    store.refreshProjects({path}, [&done] { done = true; });
    ASSERT_TRUE(waitUntil([&done] { return done; }));
}

TEST_F(TeamWorkspaceQueriesTest, severalEnabledTeamsAreCountedInTheName)
{
    const QString first = newProfileID();
    const QString second = newProfileID();
    storeProfile(first, {.key = true});
    storeProfile(second, {.key = true});
    storeProfileList({first, second});
    TeamWorkspaceStore &store = open();
    EXPECT_EQ(store.teamName(), QStringLiteral("2 teams"));
    QStringList enabledIDs;
    for (const TeamWorkspaceTeam &team : store.enabledTeams())
        enabledIDs.append(team.id);
    EXPECT_EQ(enabledIDs, (QStringList{first, second})) << "the legacy team is switched off";
    EXPECT_EQ(store.connectionState().state, State::Case::connecting)
        << "enabled teams not yet started";
}

TEST_F(TeamWorkspaceSharedProject, perPathAnswersJoinTheEnabledTeamsInTeamOrder)
{
    TeamWorkspaceStore &store = *workspace;
    ASSERT_TRUE(store.summary(appPath).has_value());
    EXPECT_EQ(store.summary(appPath)->peers.size(), 3) << "Grace once per team, not merged";
    ASSERT_TRUE(store.usageSummary(appPath).has_value());
    EXPECT_EQ(store.usageSummary(appPath)->members.size(), 3);
    EXPECT_EQ(store.teamNames(appPath),
              (QStringList{QStringLiteral("Alpha"), QStringLiteral("beta"),
                           QStringLiteral("Gamma")}));
    EXPECT_EQ(store.teamIDs(appPath),
              (QSet<QString>{team(1).id(), team(2).id(), team(3).id()}));
    ASSERT_TRUE(store.localActivity(appPath).has_value());
    EXPECT_EQ(store.localActivity(appPath)->repositoryId, appRepository);
    EXPECT_EQ(store.teamName(), QStringLiteral("3 teams"));
    ASSERT_TRUE(
        waitUntil([&] { return store.connectionState().state == State::Case::connected; }));

    const QString elsewhere = QStringLiteral("/work/other");
    EXPECT_FALSE(store.summary(elsewhere).has_value());
    EXPECT_FALSE(store.usageSummary(elsewhere).has_value());
    EXPECT_TRUE(store.teamNames(elsewhere).isEmpty());

    // Switched off, a team answers nothing, although its service still holds its values.
    team(1).settings().setEnabled(false);
    team(2).settings().setEnabled(false);
    EXPECT_EQ(store.teamNames(appPath), QStringList{QStringLiteral("Gamma")});
    EXPECT_EQ(store.teamIDs(appPath), QSet<QString>{team(3).id()});
    EXPECT_EQ(store.summary(appPath)->peers.size(), 1);
    EXPECT_EQ(store.teamName(), QStringLiteral("Gamma"));
    team(3).settings().setEnabled(false);
    EXPECT_FALSE(store.summary(appPath).has_value());
    EXPECT_TRUE(store.teamIDs(appPath).isEmpty());
    EXPECT_FALSE(store.localActivity(appPath).has_value());
}

// As on the demonstration team: two projects with uncommitted work, and a server that names
// only one of them as shared with another device. The state message carries the other one by
// its keyed id alone, so the cards must not say its work is shared.
TEST_F(TeamWorkspaceQueriesTest, underTheKeyedProtocolOnlyOverlappingWorkIsShownAsShared)
{
    const QString id = newProfileID();
    const QString teamId =
        storeProfile(id, {.enabled = true, .registration = true}, QStringLiteral("Design"));
    storeProfileList({id});
    const QString cobalt = QStringLiteral("/work/cobalt-ui");
    const QString delta = QStringLiteral("/work/delta-sync");
    const QString cobaltRepository = QStringLiteral("repository-cobalt-ui");
    const QString deltaRepository = QStringLiteral("repository-delta-sync");
    LocalTeamProjectState cobaltState, deltaState;
    cobaltState.shared = activeProject(cobaltRepository);
    deltaState.shared = activeProject(deltaRepository);
    cache.setTeamStates({{cobalt, cobaltState}, {delta, deltaState}});
    const auto wire = [&teamId](const QString &repository) {
        return TeamPresenceRules::wireRepositoryID(teamId, repository);
    };
    server.team(teamId).overlapOverride = QStringList{wire(cobaltRepository)};

    TeamWorkspaceStore &store = open();
    store.start();
    const TeamPresenceService &service = store.teams().at(1)->service();
    ASSERT_TRUE(waitUntil([&] { return service.sharedProjectPaths() == QSet<QString>{cobalt}; }));
    ASSERT_EQ(service.negotiatedProtocolVersion(), 2);
    ASSERT_TRUE(store.localActivity(cobalt).has_value());
    EXPECT_EQ(store.localActivity(cobalt)->repositoryId, cobaltRepository);
    EXPECT_FALSE(store.localActivity(delta).has_value());
    // What this device knows of its own work is not the server's overlap to decide.
    EXPECT_TRUE(service.localActivityByPath().contains(delta));
    runQueuedWork();

    // The server names the other repository instead: what the cards say follows, announced.
    QSignalSpy announced(&store, &TeamWorkspaceService::localActivityChanged);
    server.team(teamId).overlapOverride = QStringList{wire(deltaRepository)};
    server.sendSnapshots(teamId);
    ASSERT_TRUE(waitUntil([&] { return announced.size() > 0; }));
    EXPECT_EQ(announced.size(), 1);
    EXPECT_TRUE(store.localActivity(delta).has_value());
    EXPECT_FALSE(store.localActivity(cobalt).has_value());
}

TEST_F(TeamWorkspaceSharedProject, commitNoticesAreNewestFirstAndDismissedInEveryTeam)
{
    TeamWorkspaceStore &store = *workspace;
    // The first history after connecting queues no notices; these come after it.
    server.injectCommit(teamIds.at(0), commit(QStringLiteral("early"), 100));
    server.injectCommit(teamIds.at(0), commit(QStringLiteral("shared"), 300));
    server.injectCommit(teamIds.at(1), commit(QStringLiteral("late"), 400));
    server.injectCommit(teamIds.at(1), commit(QStringLiteral("shared"), 300));
    server.injectCommit(teamIds.at(2), commit(QStringLiteral("off"), 500));
    for (const QString &teamId : teamIds)
        server.sendSnapshots(teamId);
    ASSERT_TRUE(waitUntil([&] {
        return team(3).service().commitNotifications().size() == 1
               && store.commitNotifications().size() == 5;
    }));
    team(3).settings().setEnabled(false);
    QStringList order;
    for (const TeamCommitEvent &event : store.commitNotifications())
        order.append(event.id);
    EXPECT_EQ(order, (QStringList{QStringLiteral("late"), QStringLiteral("shared"),
                                  QStringLiteral("shared"), QStringLiteral("early")}))
        << "equal times keep team order; a switched-off team's notices are not shown";

    store.dismissCommitNotification(commit(QStringLiteral("off"), 0));
    EXPECT_TRUE(team(3).service().commitNotifications().isEmpty())
        << "dismissed in a switched-off team too";
    store.dismissCommitNotification(commit(QStringLiteral("shared"), 0));
    order.clear();
    for (const TeamCommitEvent &event : store.commitNotifications())
        order.append(event.id);
    EXPECT_EQ(order, (QStringList{QStringLiteral("late"), QStringLiteral("early")}));
}

TEST_F(TeamWorkspaceSharedProject, tokenUsageReachesEveryTeamEnabledOrNot)
{
    TeamWorkspaceStore &store = *workspace;
    TokenUsageSnapshot usage = TokenUsageSnapshot::empty();
    usage.global.lifetimeTokens = 1234;
    team(2).settings().setEnabled(false);
    store.updateTokenUsage(usage);
    for (const auto &listed : store.teams())
        EXPECT_EQ(listed->service().tokenUsageSnapshot(), usage) << listed->id().toStdString();

    const std::shared_ptr<TeamWorkspace> added = store.beginAddingTeam();
    store.commitAddedTeam(added);
    EXPECT_EQ(added->service().tokenUsageSnapshot(), usage) << "a committed team catches up";
}

} // namespace

