#include "UpdateWorld.h"
#include "work/WorkContext.h"
#include "support/network/HostileHttpServer.h"
#include "support/QtPrinters.h"
#include "support/update/ReleaseBuilder.h"
#include "support/WaitUntil.h"
#include "update/AppUpdateError.h"
#include "update/AppUpdateInstaller.h"
#include "update/AppUpdateService.h"
#include "update/ReleaseDownload.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace tolvaran {
namespace {

using fixtures::HostileHttpServer;
using fixtures::LocalHttpServer;
using fixtures::UpdateWorld;
using fixtures::waitUntil;
namespace ReleaseBuilder = fixtures::ReleaseBuilder;
using namespace std::chrono_literals;

constexpr qint64 megabyte = 1024 * 1024;
// What a server can have sent before the refusal without the program holding it: the server's
// own queue (a megabyte), both sockets' kernel buffers (megabytes; the receiving one may grow
// to tens) and the reply's buffer.
constexpr qint64 inTransitBytes = 64 * megabyte;
const QString manifestPath = "/v1/app/update";

bool check(AppUpdateService &service)
{
    bool finished = false;
    service.checkForUpdates([&] { finished = true; });
    return waitUntil([&] { return finished; }, 60s);
}

bool install(AppUpdateService &service)
{
    bool finished = false;
    service.installAvailableUpdate([&] { finished = true; });
    return waitUntil([&] { return finished; });
}

// The world's program, asking `hostile` as its update server.
AppUpdateEnvironment askingHostile(UpdateWorld &world, const HostileHttpServer &hostile)
{
    AppUpdateEnvironment environment = world.environment();
    environment.serverURL = hostile.baseUrl();
    return environment;
}

// A server that is not the update server: it counts what reaches it.
class OtherHost
{
public:
    OtherHost()
    {
        // Another address of this computer: another host to anything comparing addresses.
        listening = server.listen(0, QHostAddress(QStringLiteral("127.0.0.2")));
    }
    // Serves a signed release of the world's new version there, as the program's server would.
    AppUpdateManifest publishNewRelease(UpdateWorld &world)
    {
        const QByteArray archive = world.releaseArchive(UpdateWorld::newVersion);
        const AppUpdateManifest manifest =
            ReleaseBuilder::manifestFor(UpdateWorld::newVersion, archive);
        ReleaseBuilder::publish(server, manifest, archive);
        return manifest;
    }
    bool listening = false;
    LocalHttpServer server;
};

// An update server that answers far more than a manifest: the check refuses it as it
// arrives, publishes nothing, and the server has sent little more than a manifest may hold by
// then.
TEST(UpdateFromAHostileServer, anOversizedManifestIsRefusedAsItArrives)
{
    for (const auto behaviour : {HostileHttpServer::Behaviour::endlessChunkedBody,
                                 HostileHttpServer::Behaviour::hugeDeclaredBody}) {
        SCOPED_TRACE(int(behaviour));
        UpdateWorld world;
        HostileHttpServer hostile(behaviour);
        ASSERT_TRUE(hostile.listen());
        AppUpdateEnvironment environment = askingHostile(world, hostile);
        AppUpdateService service(environment);
        ASSERT_TRUE(check(service));
        EXPECT_FALSE(service.availableUpdate().has_value());
        EXPECT_TRUE(waitUntil([&] { return hostile.openConnections() == 0; }));
        EXPECT_LT(hostile.bodyBytesSent(), AppUpdateService::maximumManifestBytes + inTransitBytes)
            << hostile.bodyBytesSent() / megabyte << " MB";
    }
}

// A server that sends a manifest, or a release, a byte at a time, each byte in time for the
// transfer timeout: the check ends at its deadline and publishes nothing; the installation
// ends at its own deadline with the download failure and leaves nothing behind. (The
// deadlines are short here, given as the program gives its own.)
TEST(UpdateFromAHostileServer, aManifestOrADownloadThatTricklesInEndsAtItsDeadline)
{
    UpdateWorld world;
    HostileHttpServer hostile({HostileHttpServer::Behaviour::trickledBody, 100, 200ms});
    ASSERT_TRUE(hostile.listen());
    AppUpdateEnvironment environment = askingHostile(world, hostile);
    environment.checkDeadline = 1s;
    environment.downloadDeadline = 1s;
    AppUpdateService service(environment);
    ASSERT_TRUE(check(service));
    EXPECT_FALSE(service.availableUpdate().has_value());
    EXPECT_TRUE(waitUntil([&] { return hostile.openConnections() == 0; }));

    const AppUpdateManifest manifest =
        ReleaseBuilder::manifestFor(UpdateWorld::newVersion, QByteArray(100, 'x'));
    const auto request = AppUpdateService::updateRequest(
        hostile.baseUrl(), manifest.downloadPath, UpdateWorld::runningVersion);
    ASSERT_TRUE(request.has_value());
    try {
        AppUpdateInstaller::prepare(*request, manifest, environment, {});
        ADD_FAILURE() << "prepared";
    } catch (const AppUpdateError &error) {
        EXPECT_EQ(error.kind(), AppUpdateError::Kind::downloadFailed);
        EXPECT_EQ(error.message(), "The update could not be downloaded.");
    }
    EXPECT_TRUE(world.temporaryEntries().isEmpty());
    EXPECT_EQ(world.appsEntries(), QStringList{"Tolvaran"});
    EXPECT_TRUE(waitUntil([&] { return hostile.openConnections() == 0; }));

    // The program's own deadline leaves the largest release time to arrive at the slowest
    // rate allowed.
    EXPECT_EQ(releaseDownloadDeadline(maximumReleaseSize,
                                      AppUpdateEnvironment::defaultDownloadDeadline),
              AppUpdateEnvironment::defaultDownloadDeadline
                  + std::chrono::seconds(maximumReleaseSize / minimumDownloadBytesPerSecond));
}

TEST(UpdateFromAHostileServer, aDownloadThatNeverEndsStopsAtTheAnnouncedSize)
{
    UpdateWorld world;
    HostileHttpServer hostile(HostileHttpServer::Behaviour::endlessChunkedBody);
    ASSERT_TRUE(hostile.listen());
    const auto request =
        AppUpdateService::updateRequest(hostile.baseUrl(), "/v1/app/releases/26.9.1/download",
                                        UpdateWorld::runningVersion);
    ASSERT_TRUE(request.has_value());
    const QString path = world.home.filePath("download");
    try {
        downloadRelease(*request, path, 3 * megabyte, AppUpdateEnvironment::defaultDownloadDeadline,
                        {});
        ADD_FAILURE() << "downloaded";
    } catch (const AppUpdateError &error) {
        EXPECT_EQ(error.kind(), AppUpdateError::Kind::sizeMismatch);
    }
    EXPECT_LE(QFileInfo(path).size(), 3 * megabyte);
}

// Compressed answers that inflate a thousandfold, chunked with no declared length: the check
// ends once Qt refuses to inflate the manifest further, not at its deadline of two minutes,
// and publishes nothing; a download (of a release larger than what Qt inflates before it
// refuses) ends there too, with the network's failure.
TEST(UpdateFromAHostileServer, aCompressedBombEndsTheCheckAndTheDownloadAtOnce)
{
    for (const auto behaviour :
         {HostileHttpServer::Behaviour::gzipBomb, HostileHttpServer::Behaviour::deflateBomb}) {
        SCOPED_TRACE(behaviour == HostileHttpServer::Behaviour::gzipBomb ? "gzip" : "deflate");
        UpdateWorld world;
        HostileHttpServer hostile(behaviour);
        ASSERT_TRUE(hostile.listen());
        AppUpdateService service(askingHostile(world, hostile));
        ASSERT_TRUE(check(service));
        EXPECT_FALSE(service.availableUpdate().has_value());
        EXPECT_TRUE(waitUntil([&] { return hostile.openConnections() == 0; }));

        const auto request = AppUpdateService::updateRequest(
            hostile.baseUrl(), "/v1/app/releases/26.9.1/download", UpdateWorld::runningVersion);
        ASSERT_TRUE(request.has_value());
        try {
            downloadRelease(*request, world.home.filePath("download"), 64 * megabyte,
                            AppUpdateEnvironment::defaultDownloadDeadline, {});
            ADD_FAILURE() << "downloaded";
        } catch (const AppUpdateError &error) {
            EXPECT_EQ(error.kind(), AppUpdateErrorKind::system) << error.message().toStdString();
        }
    }
}

TEST(UpdateFromAHostileServer, aFullDiskSaysSo)
{
    UpdateWorld world;
    const QByteArray archive = world.releaseArchive(UpdateWorld::newVersion);
    const AppUpdateManifest manifest =
        ReleaseBuilder::manifestFor(UpdateWorld::newVersion, archive);
    ReleaseBuilder::publish(world.server, manifest, archive);
    const auto request = AppUpdateService::updateRequest(ReleaseBuilder::baseAddress(world.server),
                                                         manifest.downloadPath,
                                                         UpdateWorld::runningVersion);
    ASSERT_TRUE(request.has_value());
    // Every write to this device fails as on a full disk.
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    try {
        downloadRelease(*request, full, manifest.size,
                        AppUpdateEnvironment::defaultDownloadDeadline, {});
        ADD_FAILURE() << "downloaded";
    } catch (const AppUpdateError &error) {
        EXPECT_EQ(error.kind(), AppUpdateError::Kind::insufficientDiskSpace);
        EXPECT_EQ(error.message(), "There is not enough disk space to download the update.");
    }
    ::close(full);
}

// The updater keeps the team's rules for the program's server: https, plain http only to this
// computer, and no redirect to another host (one on the same server is followed).
TEST(UpdateNetworkRules, aRedirectToAnotherHostIsNeverFollowed)
{
    UpdateWorld world;
    OtherHost other;
    ASSERT_TRUE(other.listening);
    const AppUpdateManifest manifest = other.publishNewRelease(world);
    AppUpdateService service(world.environment());

    world.server.setResponse(
        manifestPath, LocalHttpServer::Response::redirect(other.server.url(manifestPath)
                                                              .toEncoded()));
    ASSERT_TRUE(check(service));
    EXPECT_FALSE(service.availableUpdate().has_value());

    // The same server's other path is followed.
    world.server.setResponse(manifestPath,
                             LocalHttpServer::Response::redirect("/v1/app/update-moved"));
    world.server.setResponse("/v1/app/update-moved",
                             LocalHttpServer::Response::ok(ReleaseBuilder::manifestJson(manifest),
                                                           "application/json"));
    ASSERT_TRUE(check(service));
    ASSERT_EQ(service.availableUpdate(), manifest);

    // A download sent elsewhere fails before anything is written.
    world.server.setResponse(manifest.downloadPath,
                             LocalHttpServer::Response::redirect(
                                 other.server.url(manifest.downloadPath).toEncoded()));
    ASSERT_TRUE(install(service));
    EXPECT_EQ(service.errorMessage(), "The update could not be downloaded.");
    EXPECT_TRUE(world.temporaryEntries().isEmpty());
    EXPECT_EQ(world.quitCalls, 0);

    EXPECT_TRUE(other.server.requests().isEmpty());
}

TEST(UpdateNetworkRules, plainHttpGoesOnlyToThisComputer)
{
    UpdateWorld world;
    OtherHost other;
    ASSERT_TRUE(other.listening);
    const AppUpdateManifest manifest = other.publishNewRelease(world);

    for (const QString &address : {other.server.url({}).toString(),
                                   QStringLiteral("http://192.0.2.1:9"),
                                   QStringLiteral("http://updates.example")}) {
        SCOPED_TRACE(address.toStdString());
        AppUpdateEnvironment environment = world.environment();
        environment.serverURL = address;
        AppUpdateService service(environment);
        ASSERT_TRUE(check(service));
        EXPECT_FALSE(service.availableUpdate().has_value());
    }
    EXPECT_TRUE(other.server.requests().isEmpty());
}

} // namespace
} // namespace tolvaran
