// The program itself against an update server whose answer never ends: its resident set over
// the first seconds of a run, beside the same run against a server with no release (its usual
// level). Each run starts the program on the offscreen platform with an empty home of its own
// and TOLVARAN_SERVER_URL on 127.0.0.1; the goal is under 50 MB above the usual level.
//
// usage: update_server_memory_bench PROGRAM [SECONDS]   (PROGRAM: a built src/tolvaran)
#include "support/network/HostileHttpServer.h"
#include "support/network/LocalHttpServer.h"
#include "helpers/ResidentSet.h"
#include "support/TemporaryHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace tolvaran::fixtures;
using tolvaran::fixtures::bench::residentSet;

namespace {

constexpr double megabyte = 1024.0 * 1024.0;

struct Run
{
    qint64 peakBytes = 0;
    qint64 lastBytes = 0;
    bool ranThrough = false;
};

// Runs `program` against the server at `serverURL` for `seconds`, sampling its resident set.
Run run(const QString &program, const QString &serverURL, int seconds)
{
    TemporaryHome home;
    for (const char *folder : {"codex", "config", "data", "cache", "runtime"})
        QDir().mkpath(home.filePath(QString::fromLatin1(folder)));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner
                              | QFileDevice::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("CODEX_HOME"), home.filePath(QStringLiteral("codex")));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("runtime")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("TOLVARAN_SERVER_URL"), serverURL);

    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, {});
    Run result;
    if (!process.waitForStarted())
        return result;
    QEventLoop loop;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout, &loop, [&] {
        result.lastBytes = qint64(residentSet(process.processId()).current * 1024 * 1024);
        result.peakBytes = std::max(result.peakBytes, result.lastBytes);
    });
    sample.start(250);
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    loop.exec();
    result.ranThrough = process.state() == QProcess::Running;
    process.kill();
    process.waitForFinished();
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2 || arguments.size() > 3) {
        std::fprintf(stderr, "usage: update_server_memory_bench PROGRAM [SECONDS]\n");
        return 2;
    }
    const QString program = arguments[1];
    const int seconds = arguments.size() == 3 ? arguments[2].toInt() : 25;

    LocalHttpServer usualServer; // nothing published: every path answers 404
    HostileHttpServer endlessServer(HostileHttpServer::Behaviour::endlessChunkedBody);
    if (!usualServer.listen() || !endlessServer.listen())
        return 1;
    const Run usual = run(program, usualServer.url(QString()).toString(), seconds);
    const Run endless = run(program, endlessServer.baseUrl(), seconds);
    if (!usual.ranThrough || !endless.ranThrough) {
        std::fprintf(stderr, "update_server_memory_bench: the program ended early\n");
        return 1;
    }
    std::printf("resident set over the first %d s of a run (peak, at the end)\n", seconds);
    std::printf("  no release published       %7.1f MB  %7.1f MB\n", usual.peakBytes / megabyte,
                usual.lastBytes / megabyte);
    std::printf("  a manifest that never ends %7.1f MB  %7.1f MB   (%d requests, %.1f MB sent)\n",
                endless.peakBytes / megabyte, endless.lastBytes / megabyte,
                endlessServer.requestCount(), endlessServer.bodyBytesSent() / megabyte);
    std::printf("  above the usual level      %7.1f MB              (goal: under 50 MB)\n",
                (endless.peakBytes - usual.peakBytes) / megabyte);
    return 0;
}
