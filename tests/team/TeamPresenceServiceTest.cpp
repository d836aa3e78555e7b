#include "TeamPresenceWorld.h"

#include "team/presence/TeamPresenceRules.h"

#include <QJsonArray>
#include <QSignalSpy>

using namespace std::chrono_literals;
using tolvaran::fixtures::waitUntil;

namespace {

const QString appPath = QStringLiteral("/work/app");
const QString appRepository = QStringLiteral("repository-app");

} // namespace

TEST_F(TeamPresenceWorld, registersThenConnectsAndAnswersTheFirstSnapshotOnce)
{
    joinWithKey();
    connect();
    EXPECT_EQ(requestsTo("POST", QStringLiteral("/v1/team/installations/register")), 1);
    EXPECT_EQ(settings.teamID(), teamId);
    settle();
    ASSERT_EQ(stateFrames().size(), 1);
    const QJsonObject state = json(stateFrames().constFirst());
    EXPECT_EQ(state.value(QLatin1String("protocolVersion")).toInt(), 2);
    EXPECT_EQ(state.value(QLatin1String("deviceId")).toString(), settings.deviceID());
    EXPECT_EQ(service->negotiatedProtocolVersion(), 2);
}

TEST_F(TeamPresenceWorld, onlyAChangedOverlapCallsForAnotherStateMessage)
{
    registerDirectly();
    storeScannedProject(appPath, project(appRepository, QStringLiteral("app")));
    connect();
    settle();
    ASSERT_EQ(stateFrames().size(), 1); // a local change alone is the rest of the service's

    const QString wireID = service->wireRepositoryID(appRepository);
    EXPECT_EQ(wireID, tolvaran::TeamPresenceRules::wireRepositoryID(teamId, appRepository));
    server.team(teamId).overlapOverride = QStringList{wireID};
    server.sendSnapshots(teamId);
    ASSERT_TRUE(waitUntil([&] { return stateFrames().size() == 2; }));
    const QJsonArray projects = json(stateFrames().constLast())
                                    .value(QLatin1String("projects"))
                                    .toArray();
    ASSERT_EQ(projects.size(), 1);
    EXPECT_EQ(projects.first().toObject().value(QLatin1String("repositoryId")).toString(),
              wireID);

    // The same overlap again (the server also answers each state with a snapshot).
    server.sendSnapshots(teamId);
    waitUntil([&] { return stateFrames().size() >= 2; });
    settle();
    EXPECT_EQ(stateFrames().size(), 2);
}

TEST_F(TeamPresenceWorld, heartbeatResendsTheUnchangedStateEveryMinute)
{
    registerDirectly();
    connect();
    settle();
    clock.advance(59s);
    settle();
    ASSERT_EQ(stateFrames().size(), 1);
    clock.advance(1s);
    ASSERT_TRUE(waitUntil([&] { return stateFrames().size() == 2; }));
    EXPECT_EQ(stateFrames()[0], stateFrames()[1]);
}

TEST_F(TeamPresenceWorld, malformedSnapshotReconnectsAfterTheBackoff)
{
    registerDirectly();
    connect();

    // Another type or protocol is not a failure: the socket stays.
    tolvaran::TeamSnapshot future = server.snapshot(teamId, 2);
    future.protocolVersion = 3;
    server.sendFrame(teamId, future.toJson());
    settle();
    EXPECT_TRUE(isConnected());
    EXPECT_EQ(server.openSocketCount(teamId), 1);

    server.sendFrame(teamId, QByteArrayLiteral("{}"));
    ASSERT_TRUE(waitUntil([&] { return server.openSocketCount(teamId) == 0; }));
    EXPECT_EQ(service->connectionState().state, State::Case::reconnecting);
    EXPECT_EQ(service->consecutiveConnectionFailures(), 1);
    EXPECT_EQ(server.closedSockets().constLast().code, QWebSocketProtocol::CloseCodeGoingAway);

    clock.advance(1900ms);
    settle();
    EXPECT_EQ(server.acceptedSocketCount(), 1);
    clock.advance(100ms);
    ASSERT_TRUE(waitUntil([&] { return isConnected() && stateFrames().size() == 2; }));
    EXPECT_EQ(server.acceptedSocketCount(), 2);
}

TEST_F(TeamPresenceWorld, backoffStartsAfreshOnlyAfterAMinuteConnected)
{
    registerDirectly();
    connect();
    const auto dropAfter = [&](std::chrono::milliseconds connected) {
        // In steps whose pings are answered, so that only the server ends the socket.
        for (auto passed = 0ms; passed < connected;) {
            const auto step = std::min<std::chrono::milliseconds>(
                tolvaran::TeamPresenceService::pingInterval, connected - passed);
            clock.advance(step);
            settle();
            passed += step;
        }
        EXPECT_TRUE(isConnected());
        server.closeSockets(teamId);
        EXPECT_TRUE(waitUntil([&] { return !service->isSocketReady(); }));
        return service->consecutiveConnectionFailures();
    };
    EXPECT_EQ(dropAfter(0ms), 1);
    clock.advance(2s);
    ASSERT_TRUE(waitUntil([&] { return isConnected(); }));
    EXPECT_EQ(dropAfter(59900ms), 2);
    clock.advance(4s);
    ASSERT_TRUE(waitUntil([&] { return isConnected(); }));
    EXPECT_EQ(dropAfter(60s), 1);
}

TEST_F(TeamPresenceWorld, reconfiguringClosesWithGoingAwayAndKeepsTheNewSocket)
{
    registerDirectly();
    connect();
    connect(); // reconfigures while connected
    ASSERT_TRUE(waitUntil([&] { return server.closedSockets().size() == 1; }));
    EXPECT_EQ(server.closedSockets().constFirst().code, QWebSocketProtocol::CloseCodeGoingAway);
    // The first socket's end reaches the service after the new one is open.
    settle();
    EXPECT_TRUE(isConnected());
    EXPECT_EQ(server.openSocketCount(teamId), 1);

    // Twice in a row while the socket is still opening: one socket remains.
    service->reconfigure();
    service->reconfigure();
    ASSERT_TRUE(waitUntil([&] { return isConnected(); }));
    settle();
    EXPECT_TRUE(isConnected());
    EXPECT_EQ(server.openSocketCount(teamId), 1);
    EXPECT_EQ(service->findChildren<QWebSocket *>().size(), 1);

    settings.setEnabled(false);
    service->reconfigure();
    EXPECT_EQ(service->connectionState().state, State::Case::disabled);
    EXPECT_EQ(clock.pendingWaits(), 0);
    ASSERT_TRUE(waitUntil([&] { return server.openSocketCount(teamId) == 0; }));
    EXPECT_EQ(server.closedSockets().constLast().code, QWebSocketProtocol::CloseCodeGoingAway);
}

// A socket the server turns away is a drop like any other: reconnecting, the back-off, and a
// heartbeat meanwhile sends nothing.
TEST_F(TeamPresenceWorld, refusedSocketIsRetriedAfterTheBackoff)
{
    registerDirectly();
    server.setRefuseSockets(true);
    service->reconfigure();
    ASSERT_TRUE(waitUntil(
        [&] { return service->connectionState().state == State::Case::reconnecting; }));
    EXPECT_EQ(service->consecutiveConnectionFailures(), 1);
    EXPECT_EQ(clock.pendingWaits(), 2); // the heartbeat and the back-off
    server.setRefuseSockets(false);
    clock.advance(2s);
    ASSERT_TRUE(waitUntil([&] { return isConnected() && stateFrames().size() == 1; }));
}

TEST_F(TeamPresenceWorld, releasedServiceClosesItsSocket)
{
    registerDirectly();
    connect();
    service.reset();
    ASSERT_TRUE(waitUntil([&] { return server.openSocketCount(teamId) == 0; }));
    EXPECT_EQ(server.closedSockets().constLast().code, QWebSocketProtocol::CloseCodeGoingAway);
    EXPECT_EQ(clock.pendingWaits(), 0);
}

TEST_F(TeamPresenceWorld, teamWithoutAuthorizationStaysDisabled)
{
    service->reconfigure();
    EXPECT_EQ(service->connectionState().state, State::Case::disabled);
    EXPECT_EQ(clock.pendingWaits(), 0);
    // A request would go out on a connection of its own, which no later event on this side
    // orders: a bounded wait is all that shows none was sent.
    tolvaran::fixtures::processEventsFor(std::chrono::milliseconds(300));
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_EQ(server.acceptedSocketCount(), 0);
}

// A key the server does not know, and one too short to send: the team shows failed with the
// reason and tries again only after a growing back-off.
TEST_F(TeamPresenceWorld, refusedRegistrationFailsAndBacksOff)
{
    joinWithKey(tolvaran::fixtures::teamKeys::beta);
    service->reconfigure();
    ASSERT_TRUE(waitUntil([&] { return hasFailed(); }));
    EXPECT_EQ(service->connectionState().message,
              QStringLiteral("That team key is not known."));
    // Ten seconds, each step waiting until the attempt due in it has been answered.
    for (int step = 0; step < 100; ++step) {
        clock.advance(100ms);
        ASSERT_TRUE(waitUntil([&] { return clock.pendingWaits() == 2; }));
    }
    const int attempts = requestsTo("POST", QStringLiteral("/v1/team/installations/register"));
    EXPECT_GE(attempts, 2);
    EXPECT_LE(attempts, 3);
    EXPECT_EQ(server.acceptedSocketCount(), 0);
}

TEST_F(TeamPresenceWorld, keyTooShortForRequestsFailsWithoutAsking)
{
    joinWithKey(tolvaran::fixtures::teamKeys::shortForRequests);
    service->reconfigure();
    ASSERT_TRUE(waitUntil([&] { return hasFailed(); }));
    EXPECT_FALSE(service->connectionState().message.isEmpty());
    advance(10s);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(TeamPresenceWorld, unencodableUsageIsSentAsZeroAndTheSocketStays)
{
    registerDirectly();
    tolvaran::TokenUsageSnapshot usage;
    usage.global.weeklyWindowTokens = 100;
    usage.projects.insert(appPath, {});
    usage.projects[appPath].lifetimeTokens = 1000;
    usage.projects[appPath].weeklyWindowTokens = 50;
    tolvaran::WeeklyAllowanceStatus allowance;
    allowance.usedPercent = std::numeric_limits<double>::quiet_NaN();
    allowance.planType = QStringLiteral("pro");
    usage.weeklyAllowance = allowance;
    service->setTokenUsageSnapshot(usage);
    server.team(teamId).overlapOverride =
        QStringList{tolvaran::TeamPresenceRules::wireRepositoryID(teamId, appRepository)};
    storeScannedProject(appPath, project(appRepository, QStringLiteral("app")));
    service->reconfigure();
    ASSERT_TRUE(waitUntil([&] { return isConnected() && !stateFrames().isEmpty(); }));
    const QJsonObject sent = json(stateFrames().constFirst())
                                 .value(QLatin1String("projects"))
                                 .toArray()
                                 .first()
                                 .toObject()
                                 .value(QLatin1String("usage"))
                                 .toObject();
    EXPECT_EQ(sent.value(QLatin1String("lifetimeTokens")).toInteger(), 1000);
    EXPECT_EQ(sent.value(QLatin1String("weeklyAllowancePercent")).toDouble(-1), 0.0);
    EXPECT_FALSE(sent.contains(QLatin1String("lifetimePlanCost")));
    settle();
    EXPECT_TRUE(isConnected());
    EXPECT_TRUE(server.closedSockets().isEmpty());
}

TEST_F(TeamPresenceWorld, queuedCommitsGoOutOnlyForOverlappingRepositories)
{
    registerDirectly();
    const QString wireID = tolvaran::TeamPresenceRules::wireRepositoryID(teamId, appRepository);
    server.team(teamId).overlapOverride = QStringList{wireID};
    service->reconfigure();
    const auto commit = [&](const QString &repository, const QString &id) {
        tolvaran::CommitCreatedMessage message;
        message.deviceId = settings.deviceID();
        message.memberName = settings.memberName();
        message.commit.id = id;
        message.commit.repositoryId = repository;
        message.commit.repositoryName = QStringLiteral("app");
        message.commit.headSha = QStringLiteral("abc123");
        message.commit.subject = QStringLiteral("Fix the build");
        message.commit.committedAt = 1'700'000'000'000;
        return message;
    };
    service->queueOutgoingCommit(
        commit(QStringLiteral("repository-private"), QStringLiteral("c1")));
    service->queueOutgoingCommit(commit(appRepository, QStringLiteral("c2")));
    ASSERT_TRUE(waitUntil([&] { return service->pendingOutgoingCommits().isEmpty(); }));
    ASSERT_TRUE(waitUntil(
        [&] { return clientFrames(QStringLiteral("commit.created")).size() == 1; }));
    const QJsonObject sent = json(clientFrames(QStringLiteral("commit.created")).constFirst());
    EXPECT_EQ(sent.value(QLatin1String("protocolVersion")).toInt(), 2);
    const QJsonObject payload = sent.value(QLatin1String("commit")).toObject();
    EXPECT_EQ(payload.value(QLatin1String("id")).toString(), QStringLiteral("c2"));
    EXPECT_EQ(payload.value(QLatin1String("repositoryId")).toString(), wireID);
    settle();
    EXPECT_EQ(clientFrames(QStringLiteral("commit.created")).size(), 1);
}

TEST(TeamPresenceBackoff, delaysDoubleFromTwoSecondsAndStayWithinAMinute)
{
    using tolvaran::TeamPresenceService;
    struct Row
    {
        qint64 failures;
        double jitter;
        qint64 milliseconds;
    };
    const Row rows[] = {
        {0, 1.0, 2000},     {1, 1.0, 2000},     {2, 1.0, 4000},  {3, 1.0, 8000},
        {4, 1.0, 16000},    {5, 1.0, 32000},    {6, 1.0, 60000}, {7, 1.0, 60000},
        {1000, 1.0, 60000}, {1, 0.85, 1700},    {1, 1.15, 2300}, {6, 1.15, 60000},
        {6, 0.85, 51000},   {5, 1.15, 36800},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(TeamPresenceService::backoffDelay(row.failures, row.jitter).count(),
                  row.milliseconds)
            << "failures " << row.failures << ", jitter " << row.jitter;
    }
}

TEST_F(TeamPresenceWorld, snapshotPeersReachTheSummariesAndAnUnchangedSnapshotPublishesNothing)
{
    registerDirectly();
    storeScannedProject(appPath, project(appRepository, QStringLiteral("app")));
    const QString wireID = tolvaran::TeamPresenceRules::wireRepositoryID(teamId, appRepository);
    server.team(teamId).overlapOverride = QStringList{wireID};
    tolvaran::StoredDevicePresence grace;
    grace.type = QStringLiteral("presence.update");
    grace.protocolVersion = 2;
    grace.deviceId = QStringLiteral("grace-laptop");
    grace.memberName = QStringLiteral("Grace");
    grace.projects = {project(wireID, QStringLiteral("app"))};
    grace.serverUpdatedAt = 1'700'000'000'000;
    grace.isConnected = true;
    server.injectPresence(teamId, grace);
    connect();

    ASSERT_TRUE(waitUntil([&] { return service->summariesByPath().contains(appPath); }));
    const auto peers = service->summariesByPath().value(appPath).peers;
    ASSERT_EQ(peers.size(), 1);
    EXPECT_EQ(peers.constFirst().memberName, QStringLiteral("Grace"));
    EXPECT_EQ(peers.constFirst().overlappingFiles, QStringList{QStringLiteral("src/main.cpp")});
    EXPECT_TRUE(service->sharedProjectPaths().contains(appPath));
    EXPECT_EQ(service->localActivityByPath().value(appPath).repositoryId, appRepository);
    EXPECT_EQ(service->connectedPeople().size(), 2); // the user and Grace
    settle();

    QSignalSpy summaries(service.get(), &tolvaran::TeamPresenceService::summariesByPathChanged);
    QSignalSpy people(service.get(), &tolvaran::TeamPresenceService::connectedPeopleChanged);
    QSignalSpy activity(service.get(),
                        &tolvaran::TeamPresenceService::localActivityByPathChanged);
    QSignalSpy anyChange(service.get(), &tolvaran::TeamPresenceService::changed);
    server.sendSnapshots(teamId);
    settle();
    EXPECT_EQ(summaries.size(), 0);
    EXPECT_EQ(people.size(), 0);
    EXPECT_EQ(activity.size(), 0);
    EXPECT_EQ(anyChange.size(), 0);

    // The team switched off (or removed) shows no teammates, nobody online and nothing shared.
    server.injectCommit(teamId, tolvaran::TeamCommitEvent{"c1", "grace-laptop", "Grace", wireID,
                                                          "app", std::nullopt, "abc", "Fix", 1,
                                                          2});
    server.sendSnapshots(teamId);
    ASSERT_TRUE(waitUntil([&] { return !service->recentCommits().isEmpty(); }));
    settings.setEnabled(false);
    service->reconfigure();
    EXPECT_TRUE(service->summariesByPath().isEmpty());
    EXPECT_EQ(summaries.size(), 1);
    EXPECT_TRUE(service->connectedPeople().isEmpty());
    EXPECT_EQ(people.size(), 1);
    EXPECT_TRUE(service->sharedProjectPaths().isEmpty());
    EXPECT_TRUE(service->usageSummariesByPath().isEmpty());
    EXPECT_TRUE(service->recentCommits().isEmpty());
}

TEST_F(TeamPresenceWorld, theSameSnapshotAfterALocalChangeStillUpdatesTheSummaries)
{
    registerDirectly();
    const QString remote = QStringLiteral("https://example.com/core/app.git");
    const QString repositoryID = tolvaran::ProjectRepositoryStore::repositoryIdentity(
                                     *tolvaran::ProjectRepositoryStore::normalizedRemote(remote))
                                     ->id;
    const QString wireID = tolvaran::TeamPresenceRules::wireRepositoryID(teamId, repositoryID);
    server.team(teamId).overlapOverride = QStringList{wireID};
    tolvaran::StoredDevicePresence grace;
    grace.type = QStringLiteral("presence.update");
    grace.protocolVersion = 2;
    grace.deviceId = QStringLiteral("grace-laptop");
    grace.memberName = QStringLiteral("Grace");
    grace.projects = {project(wireID, QStringLiteral("app"))};
    grace.serverUpdatedAt = 1'700'000'000'000;
    grace.isConnected = true;
    server.injectPresence(teamId, grace);
    connect();
    const auto source = [&](const QString &path) {
        tolvaran::LocalTeamProjectSource project;
        project.path = path;
        project.gitOriginURL = remote;
        return project;
    };
    service->updateProjects({source(appPath)});
    ASSERT_TRUE(waitUntil([&] { return service->summariesByPath().contains(appPath); }));
    settle();

    QSignalSpy summaries(service.get(), &tolvaran::TeamPresenceService::summariesByPathChanged);
    QSignalSpy anyChange(service.get(), &tolvaran::TeamPresenceService::changed);
    server.sendSnapshots(teamId);
    settle();
    EXPECT_EQ(anyChange.size(), 0);

    // A second checkout of the repository is listed: the snapshot the service holds meets it.
    const QString second = QStringLiteral("/work/app-second");
    service->updateProjects({source(appPath), source(second)});
    ASSERT_TRUE(waitUntil([&] { return service->summariesByPath().contains(second); }));
    EXPECT_EQ(summaries.size(), 1);
    EXPECT_EQ(service->summariesByPath().value(second).peers.value(0).memberName,
              QStringLiteral("Grace"));
    settle();
    const qsizetype changesBefore = anyChange.size();
    server.sendSnapshots(teamId);
    settle();
    EXPECT_EQ(summaries.size(), 1);
    EXPECT_EQ(anyChange.size(), changesBefore);
}
