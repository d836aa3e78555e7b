// The team workspace's answers over all enabled teams: the window-wide ones (name, combined
// connection) and those per project path.
#include "TeamWorkspaceWorld.h"

#include "support/QtPrinters.h"

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

} // namespace
