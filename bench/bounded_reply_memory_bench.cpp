// What the process holds while an answer that never ends is read within a limit, beside the
// goal for each: a bounded read under a 4 MB limit by a thread busy 50 ms in every 55 (as a
// GUI thread drawing a window is), whose growth should stay under the limit plus 2 MB, and a
// team call (the team's 32 MB limit for one message), under 50 MB. Each is the peak growth
// of the process's resident set over one read, for several reads; the server runs on a thread
// of this process, so its queue is counted too.
#include "network/BoundedReply.h"
#include "platform/storage/KeyValueStore.h"
#include "support/network/HostileHttpServer.h"
#include "helpers/MemorySampler.h"
#include "support/ScopedEnvironment.h"
#include "support/team/TeamTestKeys.h"
#include "support/TemporaryHome.h"
#include "team/server/TeamServerAddress.h"
#include "team/server/TeamServerClient.h"
#include "team/server/TeamSettingsStore.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using namespace tolvaran;
using namespace std::chrono_literals;
using fixtures::HostileHttpServer;

namespace {

constexpr double megabyte = 1024.0 * 1024.0;
constexpr int reads = 7;
constexpr qint64 boundedLimit = 4 * 1024 * 1024;
constexpr auto busyStretch = 50ms;
constexpr auto busyEvery = 5ms;

// Runs the event loop until `done` has been called; returns the peak growth meanwhile in MB.
double peakGrowth(const std::function<void(std::function<void()> done)> &start)
{
    fixtures::bench::MemorySampler memory;
    QEventLoop loop;
    start([&] {
        memory.sample();
        loop.quit();
    });
    loop.exec();
    return memory.peakGrowth();
}

double boundedReadWithABusyReader()
{
    HostileHttpServer server(HostileHttpServer::Behaviour::endlessChunkedBody);
    if (!server.listen())
        return -1.0;
    QTimer busy;
    QObject::connect(&busy, &QTimer::timeout, [] { std::this_thread::sleep_for(busyStretch); });
    busy.start(busyEvery);
    QNetworkAccessManager network;
    std::unique_ptr<QNetworkReply> reply;
    return peakGrowth([&](std::function<void()> done) {
        QNetworkRequest request{QUrl(server.baseUrl() + QStringLiteral("/answer"))};
        BoundedReply::prepare(request);
        reply.reset(network.get(request));
        new BoundedReply(reply.get(), {boundedLimit, 0ms});
        QObject::connect(reply.get(), &QNetworkReply::finished, reply.get(), done);
    });
}

double teamCall()
{
    HostileHttpServer server(HostileHttpServer::Behaviour::endlessChunkedBody);
    if (!server.listen())
        return -1.0;
    fixtures::TemporaryHome home;
    fixtures::ScopedEnvironment environment;
    environment.set(teamServerURLVariable, server.baseUrl().toUtf8());
    KeyValueStore defaults(home.filePath(QStringLiteral("defaults.ini")));
    TeamSettingsStore settings(defaults, QStringLiteral("bench"), false,
                               home.filePath(QStringLiteral("support")));
    TeamServerClient client(settings);
    return peakGrowth([&](std::function<void()> done) {
        client.verifyTeam(fixtures::teamKeys::alpha, nullptr,
                          [done](const TeamCallResult<TeamSnapshot> &) { done(); });
    });
}

void print(const char *name, const std::function<double()> &read, double goal)
{
    read(); // warm-up: what the first request of a run loads and keeps is not the read's
    std::vector<double> samples;
    for (int i = 0; i < reads; ++i)
        samples.push_back(read());
    std::sort(samples.begin(), samples.end());
    std::printf("  %-36s %7.1f MB  %7.1f MB   (goal: under %.0f MB)\n", name,
                samples[samples.size() / 2], samples.back(), goal);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    std::printf("peak growth of the resident set over one read of an endless answer "
                "(median, worst of %d)\n",
                reads);
    print("bounded read, 4 MB, busy reader", boundedReadWithABusyReader,
          double(boundedLimit) / megabyte + 2.0);
    print("team call, 32 MB", teamCall, 50.0);
    return 0;
}
