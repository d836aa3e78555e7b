// Links that stay open and still carry nothing: an upgraded socket that never brings its first
// snapshot, and one whose pongs stop. Each ends as a failed receive and is retried after the
// back-off; a quiet link that answers its pings stays.
#include "TeamPresenceWorld.h"

#include "support/team/BareTeamSocketServer.h"
#include "support/LogRecorder.h"

using namespace std::chrono_literals;
using tolvaran::TeamPresenceService;
using tolvaran::fixtures::BareTeamSocketServer;
using tolvaran::fixtures::LogRecorder;
using tolvaran::fixtures::runQueuedWork;
using tolvaran::fixtures::waitUntil;

namespace {

using Opening = BareTeamSocketServer::Opening;

const QString timedOutText = QStringLiteral("The team server did not answer in time.");
const QString timedOutLog = QStringLiteral("Team socket receive failed: The team server did "
                                           "not answer in time.; closeCode=0; closeReason=none");

qsizetype timedOutLogLines()
{
    return LogRecorder::lines().filter(timedOutLog).size();
}

class TeamSocketLiveness : public TeamPresenceWorld
{
protected:
    // Points the service at `bare` and starts it.
    void startAgainst(BareTeamSocketServer &bare)
    {
        ASSERT_TRUE(bare.listen());
        environment.set(tolvaran::teamServerURLVariable, bare.baseUrl().toUtf8());
        service->reconfigure();
    }

    QWebSocket *serviceSocket() const
    {
        const QList<QWebSocket *> sockets = service->findChildren<QWebSocket *>();
        return sockets.size() == 1 ? sockets.constFirst() : nullptr;
    }

    QByteArray snapshotText() const { return server.snapshot(teamId, 2).toJson(); }

    // Starts against `bare` and waits for the first state message; from then on the pongs that
    // reach the service's socket are counted.
    void connectTo(BareTeamSocketServer &bare)
    {
        startAgainst(bare);
        ASSERT_TRUE(waitUntil([&] { return isConnected() && bare.textMessages().size() == 1; }));
        QObject::connect(serviceSocket(), &QWebSocket::pong, &pongReceiver, [this] { ++pongs; });
    }

    int pongs = 0;
    QObject pongReceiver;
};

} // namespace

// A proxy that accepts the upgrade while its backend is down sends nothing; a struggling one
// may send the snapshot a byte a second. Either way the attempt has the request's time limit
// to bring its first snapshot, then fails like any other and is retried after the back-off.
TEST_F(TeamSocketLiveness, anUpgradedSocketWithoutASnapshotIsRetriedAfterTheTimeLimit)
{
    registerDirectly();
    for (const Opening opening : {Opening::silence, Opening::trickledSnapshot}) {
        SCOPED_TRACE(int(opening));
        BareTeamSocketServer bare(opening, snapshotText(), clock);
        startAgainst(bare);
        ASSERT_TRUE(waitUntil([&] {
            return serviceSocket() && serviceSocket()->state() == QAbstractSocket::ConnectedState;
        }));
        const qsizetype logged = timedOutLogLines();

        advance(TeamPresenceService::socketOpeningTimeout - 1s, 1s);
        EXPECT_EQ(service->connectionState().state, State::Case::connecting);
        EXPECT_EQ(service->consecutiveConnectionFailures(), 0);
        if (opening == Opening::trickledSnapshot) {
            EXPECT_GE(bare.snapshotBytesSent(), 50);
            EXPECT_LT(bare.snapshotBytesSent(), snapshotText().size());
        }
        advance(1s);
        EXPECT_EQ(service->connectionState().state, State::Case::reconnecting);
        EXPECT_EQ(service->connectionState().message, timedOutText);
        EXPECT_EQ(service->consecutiveConnectionFailures(), 1);
        EXPECT_EQ(timedOutLogLines(), logged + 1);
        ASSERT_TRUE(waitUntil([&] { return bare.openSockets() == 0; }));

        advance(TeamPresenceService::backoffDelay(1, 1.0));
        ASSERT_TRUE(waitUntil([&] { return bare.upgradedSockets() == 2; }));
        EXPECT_EQ(service->connectionState().state, State::Case::connecting);
    }
}

// A half-open link: the socket stays open, the server no longer answers. The ping that goes
// unanswered ends the socket at its deadline, and the next one connects.
TEST_F(TeamSocketLiveness, aLinkWhosePongsStopIsRetried)
{
    registerDirectly();
    BareTeamSocketServer bare(Opening::snapshot, snapshotText(), clock);
    ASSERT_NO_FATAL_FAILURE(connectTo(bare));

    clock.advance(TeamPresenceService::pingInterval);
    ASSERT_TRUE(waitUntil([this] { return pongs == 1; }));
    bare.setAnswersPings(false);
    clock.advance(TeamPresenceService::pingInterval);
    ASSERT_TRUE(waitUntil([&] { return bare.pingsReceived() == 2; }));
    const qsizetype logged = timedOutLogLines();
    clock.advance(TeamPresenceService::pongDeadline - 1ms);
    runQueuedWork();
    EXPECT_TRUE(isConnected());

    clock.advance(1ms);
    EXPECT_EQ(service->connectionState().state, State::Case::reconnecting);
    EXPECT_EQ(service->connectionState().message, timedOutText);
    EXPECT_EQ(timedOutLogLines(), logged + 1);
    // Connected for longer than a minute: the back-off starts afresh.
    EXPECT_EQ(service->consecutiveConnectionFailures(), 1);
    ASSERT_TRUE(waitUntil([&] { return bare.openSockets() == 0; }));

    clock.advance(TeamPresenceService::backoffDelay(1, 1.0));
    ASSERT_TRUE(waitUntil([&] { return isConnected() && bare.upgradedSockets() == 2; }));
    EXPECT_EQ(service->connectionState().state, State::Case::connected);
}

// No answer to the state messages is promised: a server that sends nothing after its first
// snapshot but answers every ping keeps the socket, however long it is quiet.
TEST_F(TeamSocketLiveness, aQuietLinkThatAnswersPingsStays)
{
    registerDirectly();
    BareTeamSocketServer bare(Opening::snapshot, snapshotText(), clock);
    ASSERT_NO_FATAL_FAILURE(connectTo(bare));

    // Ten minutes, each ping answered before the next step.
    const int rounds = int(10min / TeamPresenceService::pingInterval);
    for (int round = 1; round <= rounds; ++round) {
        clock.advance(TeamPresenceService::pingInterval);
        ASSERT_TRUE(waitUntil([&] { return pongs == round; })) << round;
    }
    runQueuedWork();
    EXPECT_TRUE(isConnected());
    EXPECT_EQ(bare.upgradedSockets(), 1);
    EXPECT_EQ(bare.openSockets(), 1);
    EXPECT_EQ(service->consecutiveConnectionFailures(), 0);
    // The first state message, then the heartbeat's every minute: all sent, none answered.
    EXPECT_EQ(bare.textMessages().size(), 1 + int(10min / TeamPresenceService::heartbeatInterval));
}
