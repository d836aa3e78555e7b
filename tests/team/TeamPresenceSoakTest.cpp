#include "TeamPresenceWorld.h"

#include "team/presence/TeamPresenceRules.h"

#include <QJsonArray>

using namespace std::chrono_literals;
using tolvaran::fixtures::waitUntil;

namespace {

// How often the server drops the socket, and for how long (simulated time).
constexpr auto dropInterval = 3s;
constexpr auto soakDuration = 60s;

} // namespace

// The server drops the socket every few seconds for a minute while the local state keeps
// changing. The client must end connected on one socket, with only the heartbeat waiting, and
// the server must hold the state the client published last.
TEST_F(TeamPresenceWorld, survivesAMinuteOfDroppedSockets)
{
    registerDirectly();
    const QString repository = QStringLiteral("repository-soak");
    server.team(teamId).overlapOverride =
        QStringList{tolvaran::TeamPresenceRules::wireRepositoryID(teamId, repository)};
    storeScannedProject(QStringLiteral("/work/soak"), project(repository, QStringLiteral("soak")));
    service->reconfigure();

    // The token usage attached to the project changes the state each time.
    int version = 0;
    const auto changeState = [&] {
        tolvaran::TokenUsageSnapshot usage = tolvaran::TokenUsageSnapshot::empty();
        usage.projects[QStringLiteral("/work/soak")].lifetimeTokens = ++version;
        service->setTokenUsageSnapshot(usage);
        service->sendPresence(false); // as a local scan does after a change
    };
    int drops = 0;
    for (auto elapsed = 0ms; elapsed < soakDuration; elapsed += dropInterval) {
        changeState();
        if (service->isSocketReady()) {
            server.closeSockets(teamId);
            ASSERT_TRUE(waitUntil([&] { return !service->isSocketReady(); }));
            ++drops;
        }
        changeState(); // while disconnected: goes out with the next socket's first snapshot
        advance(dropInterval, 250ms);
    }
    EXPECT_GE(drops, 4);

    // Whatever the back-off has grown to, the next socket comes within its cap.
    for (auto waited = 0ms; !isConnected() && waited <= 60s; waited += 1s) {
        clock.advance(1s);
        waitUntil([&] { return isConnected(); }, 200ms);
    }
    ASSERT_TRUE(waitUntil([&] { return isConnected(); }));
    settle();

    EXPECT_EQ(service->connectionState().state, State::Case::connected);
    EXPECT_EQ(server.openSocketCount(teamId), 1);
    EXPECT_EQ(service->findChildren<QWebSocket *>().size(), 1);
    EXPECT_EQ(clock.pendingWaits(), 2); // the heartbeat and the next ping
    EXPECT_EQ(server.acceptedSocketCount(), server.closedSockets().size() + 1);

    const auto lastPublished = [&]() -> qint64 {
        for (const auto &presence : server.team(teamId).presences) {
            if (presence.deviceId == settings.deviceID() && presence.projects.size() == 1)
                return presence.projects.constFirst().usage
                           ? presence.projects.constFirst().usage->lifetimeTokens
                           : -1;
        }
        return -1;
    };
    EXPECT_TRUE(waitUntil([&] { return lastPublished() == version; }))
        << "the server holds version " << lastPublished() << " of " << version;
}
