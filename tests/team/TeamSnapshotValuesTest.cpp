#include "support/QtPrinters.h"
#include "team/presence/TeamSnapshotValues.h"

#include <gtest/gtest.h>

using namespace tolvaran;

namespace {

using Value = TeamPublishedValue;

const QString repository = QStringLiteral("plain-repository");

SharedProjectState project(const QString &id, bool dirty, QStringList files = {},
                           bool processing = false)
{
    SharedProjectState state;
    state.repositoryId = id;
    state.repositoryName = QStringLiteral("app");
    state.branch = QStringLiteral("main");
    state.headSha = QStringLiteral("head");
    state.isDirty = dirty;
    state.changedFiles = std::move(files);
    state.isCodexProcessing = processing;
    return state;
}

StoredDevicePresence device(const QString &deviceId, const QString &name,
                            QList<SharedProjectState> projects, qint64 updatedAtMs = 1000,
                            std::optional<bool> connected = std::nullopt)
{
    StoredDevicePresence presence;
    presence.deviceId = deviceId;
    presence.memberName = name;
    presence.projects = std::move(projects);
    presence.serverUpdatedAt = updatedAtMs;
    presence.isConnected = connected;
    return presence;
}

TeamProjectUsagePayload tokens(qint64 lifetime)
{
    TeamProjectUsagePayload usage;
    usage.lifetimeTokens = lifetime;
    return usage;
}

// The team's side of one test: its states, placeholders and a stand-in for the team's wire id
// function (the test only needs a recognisable mapping), which counts its calls: every
// application that looks at the local projects under protocol 2 calls it.
struct World
{
    QHash<QString, LocalTeamProjectState> states;
    QHash<QString, SharedProjectState> placeholders;
    TeamSnapshotValues values;
    qint64 protocol = 1;
    QString teamKey = QStringLiteral("team");
    Timestamp now = Timestamp::fromSeconds(5000);
    mutable int wireCalls = 0;

    static QString wire(const QString &id) { return QStringLiteral("wire:") + id; }

    TeamLocalSide side() const
    {
        return TeamLocalSide{TeamOwnDevice{QStringLiteral("own"), QStringLiteral("Me")},
                             QStringLiteral("Settings name"),
                             states,
                             placeholders,
                             [this](const QString &id) {
                                 ++wireCalls;
                                 return wire(id);
                             },
                             teamKey,
                             now};
    }

    void addState(const QString &path, SharedProjectState shared)
    {
        LocalTeamProjectState state;
        state.shared = std::move(shared);
        states.insert(path, state);
    }

    TeamSnapshotValues::Outcome apply(const TeamSnapshot &snapshot)
    {
        values.updateLocalActivity(&snapshot, snapshot.protocolVersion, side());
        return values.apply(snapshot, side());
    }
};

TeamSnapshot snapshot(qint64 protocol, QList<StoredDevicePresence> members)
{
    TeamSnapshot result;
    result.type = QStringLiteral("team.snapshot");
    result.protocolVersion = protocol;
    result.members = std::move(members);
    return result;
}

} // namespace

TEST(TeamSnapshotValues, peersOverlapAndUsageReachEveryPathOfTheRepository)
{
    World world;
    const QStringList localFiles = {QStringLiteral("b"), QStringLiteral("a")};
    world.addState(QStringLiteral("/work/one"), project(repository, true, localFiles));
    world.addState(QStringLiteral("/work/two"), project(repository, true, localFiles));

    SharedProjectState teammate =
        project(repository, true, {QStringLiteral("c"), QStringLiteral("b"), QStringLiteral("a")});
    teammate.headSha = QStringLiteral("other-head");
    teammate.usage = tokens(100);
    SharedProjectState sameNameUsage = project(repository, false);
    sameNameUsage.usage = tokens(7);
    const TeamSnapshot sent = snapshot(
        1, {device(QStringLiteral("d1"), QStringLiteral("Ana"), {teammate, teammate}, 2000, false),
            device(QStringLiteral("laptop"), QStringLiteral(" me "), {sameNameUsage})});

    const TeamSnapshotValues::Outcome outcome = world.apply(sent);
    EXPECT_EQ(outcome.changed,
              (QList<Value>{Value::teamName, Value::connectedPeople, Value::sharedProjectPaths,
                            Value::summariesByPath, Value::usageSummariesByPath}));
    const auto &summaries = world.values.summariesByPath();
    ASSERT_EQ(summaries.size(), 2);
    for (const TeamProjectSummary &summary : summaries) {
        ASSERT_EQ(summary.peers.size(), 1); // the duplicate entry adds nothing
        const TeamProjectPeer &peer = summary.peers[0];
        EXPECT_EQ(peer.overlappingFiles, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
        EXPECT_EQ(peer.conflictLevel, TeamConflictLevel::critical);
        EXPECT_FALSE(peer.isConnected);
        EXPECT_EQ(peer.serverUpdatedAt, Timestamp::fromSeconds(2.0));
    }
    // The user's second machine is never a peer, but its usage is listed.
    const TeamProjectUsageSummary usage =
        world.values.usageSummariesByPath().value(QStringLiteral("/work/one"));
    ASSERT_EQ(usage.members.size(), 2);
    EXPECT_EQ(usage.members[0].memberName, QStringLiteral(" me "));
    EXPECT_EQ(usage.members[1].usage.lifetimeTokens, 100);
    EXPECT_EQ(world.values.sharedProjectPaths(),
              (QSet<QString>{QStringLiteral("/work/one"), QStringLiteral("/work/two")}));
    EXPECT_EQ(world.values.teamName(), QStringLiteral("Settings name"));

    EXPECT_TRUE(world.apply(sent).changed.isEmpty()); // unchanged: nothing is published

    TeamSnapshot moved = sent;
    moved.members[0].serverUpdatedAt = 3000;
    EXPECT_EQ(world.apply(moved).changed,
              (QList<Value>{Value::summariesByPath, Value::usageSummariesByPath}));
}

TEST(TeamSnapshotValues, cleanTeammateProjectsGiveNoPeersButStillShare)
{
    World world;
    world.addState(QStringLiteral("/work/app"), project(repository, true, {QStringLiteral("a")}));
    SharedProjectState clean = project(repository, false, {QStringLiteral("a")});
    world.apply(snapshot(1, {device(QStringLiteral("d1"), QStringLiteral("Ana"), {clean})}));
    EXPECT_TRUE(world.values.summariesByPath().isEmpty());
    EXPECT_EQ(world.values.sharedProjectPaths(), QSet<QString>{QStringLiteral("/work/app")});

    // Only this device: nothing shared in protocol 1.
    World alone;
    alone.addState(QStringLiteral("/work/app"), project(repository, true));
    alone.apply(snapshot(1, {device(QStringLiteral("own"), QStringLiteral("Me"),
                                    {project(repository, true)})}));
    EXPECT_TRUE(alone.values.sharedProjectPaths().isEmpty());
    EXPECT_TRUE(alone.values.summariesByPath().isEmpty());
}

TEST(TeamSnapshotValues, protocolTwoMatchesWireIdsAndTheServersOverlapList)
{
    World world;
    world.addState(QStringLiteral("/work/app"), project(repository, true, {QStringLiteral("a")}));
    world.placeholders.insert(QStringLiteral("/work/idle"),
                              project(QStringLiteral("idle"), false));

    // Under protocol 2 teammates publish wire ids; the plain id matches nothing.
    TeamSnapshot wire = snapshot(
        2, {device(QStringLiteral("d1"), QStringLiteral("Ana"),
                   {project(World::wire(repository), true, {QStringLiteral("a")}),
                    project(repository, true, {QStringLiteral("a")})})});
    world.apply(wire);
    ASSERT_EQ(world.values.summariesByPath().size(), 1);
    EXPECT_EQ(world.values.summariesByPath().value(QStringLiteral("/work/app")).peers.size(), 1);
    EXPECT_TRUE(world.values.sharedProjectPaths().isEmpty()); // no overlap list: nothing shared

    wire.overlappingRepositoryIds =
        QStringList{World::wire(QStringLiteral("idle")), QStringLiteral("idle")};
    world.apply(wire);
    EXPECT_EQ(world.values.sharedProjectPaths(), QSet<QString>{QStringLiteral("/work/idle")});

    // The same snapshot read as protocol 1 compares plain ids.
    wire.protocolVersion = 1;
    world.apply(wire);
    EXPECT_EQ(world.values.summariesByPath().value(QStringLiteral("/work/app")).peers[0]
                  .project.repositoryId,
              repository);
}

TEST(TeamSnapshotValues, localActivityKeepsCleanStatesOnlyWhileATeammateIsActive)
{
    World world;
    const QString path = QStringLiteral("/work/app");
    SharedProjectState placeholder = project(repository, false);
    placeholder.branch.reset();
    world.placeholders.insert(path, placeholder);
    world.addState(path, project(repository, false));

    EXPECT_TRUE(world.values.updateLocalActivity(nullptr, 1, world.side()));
    EXPECT_EQ(world.values.localActivityByPath().value(path), placeholder);
    EXPECT_FALSE(world.values.updateLocalActivity(nullptr, 1, world.side()));

    const TeamSnapshot busy = snapshot(
        2, {device(QStringLiteral("d1"), QStringLiteral("Ana"),
                   {project(World::wire(repository), true)})});
    EXPECT_TRUE(world.values.updateLocalActivity(&busy, 2, world.side()));
    EXPECT_EQ(world.values.localActivityByPath().value(path), project(repository, false));

    // Negotiated protocol 1: plain ids are compared, so the wire id matches nothing.
    EXPECT_TRUE(world.values.updateLocalActivity(&busy, 1, world.side()));
    EXPECT_EQ(world.values.localActivityByPath().value(path), placeholder);
}

TEST(TeamSnapshotValues, serverTeamNameReachesTheSettingsOnlyWhileTheyShowedTheOldName)
{
    World world;
    TeamSnapshot named = snapshot(1, {});
    named.team = TeamMetadata{QStringLiteral("Settings name")};
    EXPECT_FALSE(world.apply(named).serverTeamNameForSettings); // already the same

    named.team = TeamMetadata{QStringLiteral("Renamed")};
    const TeamSnapshotValues::Outcome renamed = world.apply(named);
    EXPECT_EQ(renamed.serverTeamNameForSettings, QStringLiteral("Renamed"));
    EXPECT_TRUE(renamed.changed.contains(Value::teamName));
    EXPECT_EQ(world.values.teamName(), QStringLiteral("Renamed"));

    // The user has typed another name meanwhile: the settings keep it.
    named.team = TeamMetadata{QStringLiteral("Again")};
    EXPECT_FALSE(world.apply(named).serverTeamNameForSettings);
}

TEST(TeamSnapshotValues, repositoryIdsAreHashedPerTeamOnlyUnderProtocolTwo)
{
    const QString id = QStringLiteral("abc");
    const TeamWireRepositoryIdFunction teamA = teamWireRepositoryIdFunction(QStringLiteral("A"));
    const TeamWireRepositoryIdFunction teamB = teamWireRepositoryIdFunction(QStringLiteral("B"));
    const QString underA = teamComparisonRepositoryId(id, 2, teamA);
    EXPECT_EQ(underA.size(), 64);
    EXPECT_EQ(underA, underA.toLower());
    EXPECT_EQ(underA, teamComparisonRepositoryId(id, 2, teamA));
    EXPECT_NE(underA, teamComparisonRepositoryId(id, 2, teamB));
    EXPECT_EQ(teamComparisonRepositoryId(id, 1, teamA), id);
    EXPECT_EQ(teamComparisonRepositoryId(id, 2, teamWireRepositoryIdFunction(std::nullopt)), id);
    EXPECT_EQ(teamComparisonRepositoryId(id, 2, {}), id);
}

TEST(TeamSnapshotValues, theSameSnapshotMetByTheSameSideIsRecognisedBeforeAnyTeammate)
{
    const QString app = QStringLiteral("/work/app");
    const QString tools = QStringLiteral("/work/tools");
    World world;
    world.addState(app, project(repository, true, {QStringLiteral("a")}));
    world.placeholders.insert(tools, project(QStringLiteral("tools"), false));
    // Built anew for every delivery, as each message is decoded anew: nothing shared.
    const auto received = [] {
        TeamSnapshot sent = snapshot(
            2, {device(QStringLiteral("d1"), QStringLiteral("Ana"),
                       {project(World::wire(repository), true, {QStringLiteral("a")})}),
                device(QStringLiteral("d2"), QStringLiteral("Bo"),
                       {project(World::wire(QStringLiteral("tools")), true)})});
        sent.overlappingRepositoryIds = QStringList{World::wire(repository)};
        sent.recentCommits = QList<TeamCommitEvent>{
            {QStringLiteral("c1"), QStringLiteral("d1"), QStringLiteral("Ana"),
             World::wire(repository), QStringLiteral("app"), std::nullopt,
             QStringLiteral("abc"), QStringLiteral("Fix"), 1, 2}};
        return sent;
    };
    ASSERT_FALSE(world.apply(received()).changed.isEmpty());
    ASSERT_EQ(world.values.summariesByPath().size(), 2);
    EXPECT_GT(world.wireCalls, 0);

    // Again, also with the clock moved: nothing published and no local project hashed.
    world.wireCalls = 0;
    world.now = world.now.addingSeconds(60);
    EXPECT_TRUE(world.apply(received()).changed.isEmpty());
    EXPECT_EQ(world.wireCalls, 0);
    EXPECT_EQ(world.values.summariesByPath().size(), 2);

    // The local side changed (another file changed here instead): the same snapshot is worked
    // out again and the overlap follows.
    EXPECT_EQ(world.values.summariesByPath().value(app).peers.value(0).overlappingFiles,
              QStringList{QStringLiteral("a")});
    world.addState(app, project(repository, true, {QStringLiteral("b")}));
    const TeamSnapshotValues::Outcome afterEdit = world.apply(received());
    EXPECT_EQ(world.values.localActivityByPath().value(app).changedFiles,
              QStringList{QStringLiteral("b")});
    EXPECT_TRUE(afterEdit.changed.contains(Value::summariesByPath));
    EXPECT_TRUE(world.values.summariesByPath().value(app).peers.value(0).overlappingFiles
                    .isEmpty());

    // A placeholder added, the team's key changed, the name confirmed outside a snapshot:
    // each is met by working the snapshot out again.
    world.placeholders.insert(QStringLiteral("/work/other"), project(repository, false));
    EXPECT_TRUE(world.apply(received()).changed.contains(Value::summariesByPath));
    EXPECT_EQ(world.values.summariesByPath().size(), 3);
    world.wireCalls = 0;
    world.teamKey = QStringLiteral("another team");
    world.apply(received());
    EXPECT_GT(world.wireCalls, 0);
    ASSERT_TRUE(world.values.setTeamName(QStringLiteral("Confirmed")));
    EXPECT_EQ(world.apply(received()).changed, QList<Value>{Value::teamName});
    EXPECT_EQ(world.values.teamName(), QStringLiteral("Settings name"));

    // Once the teammates are cleared (as a reconfiguration does), the same snapshot is the
    // first history again: it announces nothing, and a commit in the next one is announced.
    world.values.clearTeammates();
    EXPECT_FALSE(world.apply(received()).changed.contains(Value::commitNotifications));
    TeamSnapshot next = received();
    next.recentCommits->append({QStringLiteral("c2"), QStringLiteral("d1"), QStringLiteral("Ana"),
                                World::wire(repository), QStringLiteral("app"), std::nullopt,
                                QStringLiteral("def"), QStringLiteral("More"), 3, 4});
    EXPECT_TRUE(world.apply(next).changed.contains(Value::commitNotifications));
    ASSERT_EQ(world.values.commitNotifications().size(), 1);
    EXPECT_EQ(world.values.commitNotifications()[0].id, QStringLiteral("c2"));
}
