// 100 teams' presence services against one local team server, all on this (the GUI) thread
// as in the program: how long they take to register their sockets, then how many frames per
// second go out and come in while the server keeps changing every team's overlap, and the
// longest the event loop went without turning (server work included, which the program does
// not carry). Printed beside the idle heartbeat's rate and one 60 Hz frame.
#include "data/git/ProjectMetadataCache.h"
#include "data/git/ProjectRepositoryStore.h"
#include "platform/storage/KeyValueStore.h"
#include "support/team/LocalTeamServer.h"
#include "support/ScopedEnvironment.h"
#include "support/TemporaryHome.h"
#include "team/presence/TeamPresenceRules.h"
#include "team/presence/TeamPresenceService.h"
#include "team/server/TeamServerAddress.h"
#include "team/server/TeamSettingsStore.h"
#include "team/presence/WorkSummaryGenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

using namespace tolvaran;
using namespace std::chrono_literals;

constexpr int teams = 100;
constexpr auto churnDuration = 5s;
constexpr auto churnInterval = 20ms; // the server changes some teams' overlap this often
constexpr int teamsPerChurn = 10;
constexpr auto connectDeadline = 60s;

struct Team
{
    QString id;
    QString repositoryWireID;
    std::unique_ptr<TeamSettingsStore> settings;
    std::unique_ptr<ProjectMetadataCache> cache; // holds the team's one local project
    std::unique_ptr<TeamPresenceService> service;
    bool overlapping = false;
};

// The longest gap between two turns of the event loop while it runs.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1ms);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_clock.restart());
        });
    }
    void start()
    {
        m_longest = 0;
        m_clock.start();
        m_timer.start();
    }
    qint64 longestMilliseconds() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

void runFor(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

bool runUntil(const std::function<bool()> &done, std::chrono::milliseconds deadline)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < deadline.count())
        runFor(5ms);
    return done();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    fixtures::LocalTeamServer server;
    if (!server.listen()) {
        out << "The local team server could not listen.\n";
        return 1;
    }
    fixtures::ScopedEnvironment environment;
    environment.set(teamServerURLVariable, server.baseUrl().toUtf8());
    fixtures::TemporaryHome home;
    KeyValueStore defaults(home.filePath(QStringLiteral("defaults.ini")));
    ProjectRepositoryStore repositoryStore;
    WorkSummaryGenerator generator;

    std::vector<Team> all(teams);
    for (int index = 0; index < teams; ++index) {
        Team &team = all[size_t(index)];
        team.id = server.createTeam(QStringLiteral("Team %1").arg(index));
        team.settings = std::make_unique<TeamSettingsStore>(
            defaults, QStringLiteral("bench-%1").arg(index), false,
            home.filePath(QStringLiteral("support")));
        team.settings->setMemberName(QStringLiteral("Bench"));
        team.settings->setEnabled(true);
        const QString credential = server.registerDevice(
            team.id, team.settings->deviceID(), QStringLiteral("Bench"),
            TeamInstallationRole::owner);
        team.settings->saveInstallation(team.id, credential, TeamInstallationRole::owner);
        LocalTeamProjectState state;
        state.shared.repositoryId = QStringLiteral("repository-") + team.id;
        state.shared.repositoryName = QStringLiteral("app");
        state.shared.isDirty = true;
        state.shared.changedFiles = {QStringLiteral("src/main.cpp")};
        team.repositoryWireID = TeamPresenceRules::wireRepositoryID(team.id,
                                                                    state.shared.repositoryId);
        team.cache = std::make_unique<ProjectMetadataCache>(QString());
        team.cache->setTeamStates({{QStringLiteral("/work/app"), state}});
        team.service = std::make_unique<TeamPresenceService>(*team.settings, repositoryStore,
                                                             *team.cache, generator);
    }

    StallMeter stalls;
    stalls.start();
    QElapsedTimer clock;
    clock.start();
    for (Team &team : all)
        team.service->reconfigure();
    const auto allConnected = [&] {
        return std::all_of(all.cbegin(), all.cend(),
                           [](const Team &team) { return team.service->isSocketReady(); });
    };
    if (!runUntil(allConnected, connectDeadline)) {
        out << "Not every team connected within " << connectDeadline.count() << " s.\n";
        return 1;
    }
    const qint64 connectMilliseconds = clock.elapsed();
    const qint64 connectStall = stalls.longestMilliseconds();

    runFor(200ms);

    const auto count = [&](bool fromServer) {
        return std::count_if(server.frames().cbegin(), server.frames().cend(),
                             [&](const auto &frame) { return frame.fromServer == fromServer; });
    };
    const qsizetype sentBefore = count(false), receivedBefore = count(true);
    int next = 0;
    QTimer churn;
    QObject::connect(&churn, &QTimer::timeout, [&] {
        for (int step = 0; step < teamsPerChurn; ++step) {
            Team &team = all[size_t(next++ % teams)];
            team.overlapping = !team.overlapping;
            server.team(team.id).overlapOverride =
                team.overlapping ? QStringList{team.repositoryWireID} : QStringList{};
            server.sendSnapshots(team.id);
        }
    });
    stalls.start();
    clock.restart();
    churn.start(churnInterval);
    runFor(churnDuration);
    churn.stop();
    const double seconds = double(clock.elapsed()) / 1000.0;
    const qint64 churnStall = stalls.longestMilliseconds();
    const double sent = double(count(false) - sentBefore) / seconds;
    const double received = double(count(true) - receivedBefore) / seconds;
    const bool stillConnected = allConnected();

    out << QStringLiteral("Team presence: %1 teams, one local server, one thread\n").arg(teams);
    out << QStringLiteral("  all sockets connected in        %1 ms (longest stall %2 ms)\n")
               .arg(connectMilliseconds, 6)
               .arg(connectStall);
    out << QStringLiteral("  frames sent by the clients      %1 per second\n")
               .arg(sent, 9, 'f', 1);
    out << QStringLiteral("  frames received by the clients  %1 per second\n")
               .arg(received, 9, 'f', 1);
    out << QStringLiteral("  longest stall of the thread     %1 ms while the overlap changed "
                          "%2 times per second\n")
               .arg(churnStall, 6)
               .arg(double(teamsPerChurn) * 1000.0 / double(churnInterval.count()), 0, 'f', 0);
    out << QStringLiteral("  every team still connected     %1\n")
               .arg(stillConnected ? QStringLiteral("yes") : QStringLiteral("no"));
    out << QStringLiteral("  reference: idle heartbeat      %1 frames per second; "
                          "one 60 Hz frame 16.7 ms\n")
               .arg(double(teams) / double(TeamPresenceService::heartbeatInterval.count()), 0,
                    'f', 1);
    return stillConnected ? 0 : 1;
}
