#include "TeamPresenceWorld.h"
#include "TeamServerClientWorld.h"

#include "support/network/HostileHttpServer.h"
#include "support/QtPrinters.h"
#include "team/presence/TeamPresenceRules.h"
#include "team/wire/TeamWireLimits.h"

#include <QSignalSpy>

using namespace tolvaran;
using namespace std::chrono_literals;
using fixtures::HostileHttpServer;
using fixtures::waitUntil;

namespace {

constexpr qint64 megabyte = 1024 * 1024;
// What can lie between the server's count of bytes sent and the client: the server's own
// queue (a megabyte), both sockets' kernel buffers (megabytes; the receiving one may grow to
// tens) and the reply's buffer.
constexpr qint64 inTransitBytes = 64 * megabyte;

// A team call against a server that answers far more than a team message may hold: refused
// as the answer arrives, the server having sent little more than the limit by then.
class TeamCallsToAHostileServer : public TeamServerClientWorld
{
protected:
    TeamCallResult<TeamSnapshot> verify(HostileHttpServer &hostile, TeamServerClient &caller)
    {
        environment.set(teamServerURLVariable, hostile.baseUrl().toUtf8());
        return awaitCall<TeamSnapshot>(
            [&](std::function<void(TeamCallResult<TeamSnapshot>)> done) {
                return caller.verifyTeam(fixtures::teamKeys::alpha, nullptr, done);
            });
    }
};

} // namespace

TEST_F(TeamCallsToAHostileServer, anOversizedAnswerIsRefusedAsItArrives)
{
    for (const auto behaviour : {HostileHttpServer::Behaviour::endlessChunkedBody,
                                 HostileHttpServer::Behaviour::hugeDeclaredBody}) {
        SCOPED_TRACE(int(behaviour));
        HostileHttpServer hostile(behaviour);
        ASSERT_TRUE(hostile.listen());
        const auto result = verify(hostile, client);
        ASSERT_FALSE(result);
        ASSERT_TRUE(result.error().serviceError());
        EXPECT_EQ(result.error().serviceError()->kind(), TeamServiceError::Kind::invalidResponse);
        EXPECT_TRUE(waitUntil([&] { return hostile.openConnections() == 0; }));
        EXPECT_LT(hostile.bodyBytesSent(), TeamWireLimits::maxMessageBytes + inTransitBytes)
            << hostile.bodyBytesSent() / megabyte << " MB";
    }
}

// Compressed answers, chunked with no declared length, that open with the snapshot the call
// asks for: one that inflates a thousandfold, and one that breaks off into bytes that do not
// inflate and then stays open. Each is refused once Qt stops inflating it rather than at the
// call's deadline, and what was inflated by then, however well-formed, is not taken for the
// answer.
TEST_F(TeamCallsToAHostileServer, aCompressedAnswerIsRefusedOnceItFailsToInflate)
{
    const QByteArray snapshot = server.snapshot(teamId, 2).toJson();
    for (const auto behaviour :
         {HostileHttpServer::Behaviour::gzipBomb, HostileHttpServer::Behaviour::deflateBomb,
          HostileHttpServer::Behaviour::brokenGzipBody}) {
        SCOPED_TRACE(int(behaviour));
        // Time for the snapshot to be read before the broken part comes.
        HostileHttpServer hostile({.behaviour = behaviour, .trickleInterval = 300ms},
                                  "application/json", snapshot);
        ASSERT_TRUE(hostile.listen());
        const auto result = verify(hostile, client);
        ASSERT_FALSE(result);
        ASSERT_TRUE(result.error().serviceError()) << result.error().message().toStdString();
        EXPECT_EQ(result.error().serviceError()->kind(), TeamServiceError::Kind::invalidResponse);
        EXPECT_TRUE(waitUntil([&] { return hostile.openConnections() == 0; }));
    }
}

TEST_F(TeamCallsToAHostileServer, anAnswerThatTricklesInEndsAtTheDeadline)
{
    // A byte a second keeps the transfer timeout from ever passing.
    HostileHttpServer hostile({HostileHttpServer::Behaviour::trickledBody, 1000, 1000ms});
    ASSERT_TRUE(hostile.listen());
    TeamServerClient patient(settings, {TeamRequestLimits{}.transferTimeout, 3s});
    const auto result = verify(hostile, patient);
    ASSERT_FALSE(result);
    ASSERT_TRUE(result.error().transportError());
    EXPECT_EQ(result.error().transportError()->kind(), TeamTransportError::Kind::timedOut);
    EXPECT_EQ(result.error().message(), "The team server did not answer in time.");
    EXPECT_GE(hostile.bodyBytesSent(), 1);
}

// The socket of a registered device, against a server that takes the connection and never
// answers the upgrade: after the time limit, a failed attempt like any other.
TEST_F(TeamPresenceWorld, anUpgradeThatNeverComesEndsInReconnectingAndARetry)
{
    registerDirectly();
    HostileHttpServer hostile(HostileHttpServer::Behaviour::silence);
    ASSERT_TRUE(hostile.listen());
    environment.set(teamServerURLVariable, hostile.baseUrl().toUtf8());
    service->reconfigure();
    ASSERT_TRUE(waitUntil([&] { return hostile.requestCount() == 1; }));
    EXPECT_TRUE(hostile.requestLines().constFirst().startsWith("GET /v1/team/socket"));
    EXPECT_EQ(service->connectionState().state, State::Case::connecting);

    advance(59s, 1s);
    EXPECT_EQ(service->connectionState().state, State::Case::connecting);
    EXPECT_EQ(service->consecutiveConnectionFailures(), 0);
    advance(1s);
    EXPECT_EQ(service->connectionState().state, State::Case::reconnecting);
    EXPECT_EQ(service->connectionState().message, "The team server did not answer in time.");
    EXPECT_EQ(service->consecutiveConnectionFailures(), 1);
    EXPECT_TRUE(waitUntil([&] { return hostile.openConnections() == 0; }));

    advance(2s);
    ASSERT_TRUE(waitUntil([&] { return hostile.requestCount() == 2; }));
    EXPECT_EQ(service->connectionState().state, State::Case::connecting);
    // The heartbeat, and the new attempt's time limit.
    EXPECT_EQ(clock.pendingWaits(), 2);
}

// Saving an enabled team's settings reconfigures it: what the server said goes at once, and
// stays gone while the server refuses the new socket; what this device knows stays.
TEST_F(TeamPresenceWorld, reconfiguringEmptiesTheTeammatesAtOnce)
{
    const QString path = QStringLiteral("/work/app");
    const QString repository = QStringLiteral("repository-app");
    registerDirectly();
    storeScannedProject(path, project(repository, QStringLiteral("app")));
    const QString wireID = TeamPresenceRules::wireRepositoryID(teamId, repository);
    server.team(teamId).overlapOverride = QStringList{wireID};
    StoredDevicePresence grace;
    grace.type = QStringLiteral("state.update");
    grace.protocolVersion = 2;
    grace.deviceId = QStringLiteral("grace-laptop");
    grace.memberName = QStringLiteral("Grace");
    grace.projects = {project(wireID, QStringLiteral("app"))};
    grace.projects.first().usage = TeamProjectUsagePayload{1000, 10, 1.5, std::nullopt};
    grace.serverUpdatedAt = 1'700'000'000'000;
    grace.isConnected = true;
    server.injectPresence(teamId, grace);
    TokenUsageSnapshot usage = TokenUsageSnapshot::empty();
    usage.global.lifetimeTokens = 42;
    service->setTokenUsageSnapshot(usage);
    connect();
    server.injectCommit(teamId, TeamCommitEvent{"c1", "grace-laptop", "Grace", wireID, "app",
                                                std::nullopt, "abc", "Fix", 1, 2});
    server.sendSnapshots(teamId);
    ASSERT_TRUE(waitUntil([&] {
        return !service->recentCommits().isEmpty() && !service->commitNotifications().isEmpty();
    }));
    ASSERT_EQ(service->connectedPeople().size(), 2);
    ASSERT_FALSE(service->summariesByPath().isEmpty());
    ASSERT_FALSE(service->usageSummariesByPath().isEmpty());
    ASSERT_FALSE(service->sharedProjectPaths().isEmpty());

    server.setRefuseSockets(true);
    QSignalSpy people(service.get(), &TeamPresenceService::connectedPeopleChanged);
    service->reconfigure();
    const auto expectNoTeammates = [&] {
        EXPECT_TRUE(service->connectedPeople().isEmpty());
        EXPECT_TRUE(service->summariesByPath().isEmpty());
        EXPECT_TRUE(service->usageSummariesByPath().isEmpty());
        EXPECT_TRUE(service->recentCommits().isEmpty());
        EXPECT_TRUE(service->commitNotifications().isEmpty());
        EXPECT_TRUE(service->sharedProjectPaths().isEmpty());
        EXPECT_FALSE(service->securityStatus().has_value());
        EXPECT_FALSE(service->latestSnapshot().has_value());
    };
    expectNoTeammates();
    EXPECT_EQ(people.size(), 1);
    // This device's own activity and usage are not the server's to take.
    EXPECT_EQ(service->localActivityByPath().value(path).repositoryId, repository);
    EXPECT_EQ(service->tokenUsageSnapshot().global.lifetimeTokens, 42);

    advance(10s);
    EXPECT_EQ(service->connectionState().state, State::Case::reconnecting);
    expectNoTeammates();
}
