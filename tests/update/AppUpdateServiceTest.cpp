#include "UpdateWorld.h"
#include "support/QtPrinters.h"
#include "support/update/ReleaseBuilder.h"
#include "support/update/TarArchiveWriter.h"
#include "support/WaitUntil.h"
#include "work/WorkContext.h"
#include "update/AppUpdateError.h"
#include "update/AppUpdateInstaller.h"
#include "update/AppUpdateService.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <unistd.h>

namespace tolvaran {
namespace {

using fixtures::LocalHttpServer;
using fixtures::UpdateWorld;
using fixtures::waitUntil;
namespace ReleaseBuilder = fixtures::ReleaseBuilder;

const QString manifestPath = "/v1/app/update";

LocalHttpServer::Response json(const QByteArray &body)
{
    return LocalHttpServer::Response::ok(body, "application/json");
}

bool check(AppUpdateService &service)
{
    bool finished = false;
    service.checkForUpdates([&] { finished = true; });
    return waitUntil([&] { return finished; });
}

bool install(AppUpdateService &service)
{
    bool finished = false;
    service.installAvailableUpdate([&] { finished = true; });
    return waitUntil([&] { return finished; });
}

// Lets the installer script that a successful installation started run to its end: the
// stand-in for the program ends, the script swaps the copies and starts the new one.
bool finishSwap(UpdateWorld &world)
{
    world.endStandIn();
    return waitUntil([&] {
        return world.startedVersions().contains(UpdateWorld::newVersion)
               && world.appsEntries() == QStringList{"Tolvaran"};
    });
}

// A service that has found `archive` announced as `version` (or as the manifest given).
void offer(UpdateWorld &world, AppUpdateService &service, const AppUpdateManifest &manifest,
           const QByteArray &served)
{
    ReleaseBuilder::publish(world.server, manifest, served);
    ASSERT_TRUE(check(service));
    ASSERT_EQ(service.availableUpdate(), manifest);
}

TEST(AppUpdateServiceCheck, publishesOnlyANewerValidRelease)
{
    struct Row
    {
        const char *name;
        LocalHttpServer::Response response;
        bool published;
    };
    const AppUpdateManifest newer = ReleaseBuilder::manifestFor("26.9.1", "archive");
    AppUpdateManifest invalid = newer;
    invalid.downloadPath = "/v1/app/releases/26.9.2/download";
    const Row rows[] = {
        {"a newer release", json(ReleaseBuilder::manifestJson(newer)), true},
        {"the running version",
         json(ReleaseBuilder::manifestJson(ReleaseBuilder::manifestFor("26.8.70", "a"))), false},
        {"an older release",
         json(ReleaseBuilder::manifestJson(ReleaseBuilder::manifestFor("26.8.9", "a"))), false},
        {"an invalid manifest", json(ReleaseBuilder::manifestJson(invalid)), false},
        {"a body that is no manifest", json("{\"version\":\"26.9.1\"}"), false},
        {"an oversized answer",
         json(ReleaseBuilder::manifestJson(newer).chopped(1)
              + QByteArray(AppUpdateService::maximumManifestBytes, ' ') + "}"),
         false},
        {"no release", LocalHttpServer::Response::withStatus(404), false},
        {"a server error",
         LocalHttpServer::Response::withStatus(500, ReleaseBuilder::manifestJson(newer)), false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        UpdateWorld world;
        AppUpdateService service(world.environment());
        // Each answer replaces what an earlier check published.
        ReleaseBuilder::publish(world.server, ReleaseBuilder::manifestFor("26.9.5", "x"), "x");
        ASSERT_TRUE(check(service));
        ASSERT_TRUE(service.availableUpdate().has_value());

        world.server.setResponse(manifestPath, row.response);
        ASSERT_TRUE(check(service));
        if (row.published)
            EXPECT_EQ(service.availableUpdate(), newer);
        else
            EXPECT_FALSE(service.availableUpdate().has_value());
        EXPECT_FALSE(service.errorMessage().has_value());
    }
}

TEST(AppUpdateServiceCheck, sendsTheVersionAndAsksForJson)
{
    UpdateWorld world;
    AppUpdateService service(world.environment());
    ASSERT_TRUE(check(service));
    ASSERT_EQ(world.server.requests().size(), 1);
    const LocalHttpServer::Request request = world.server.requests().first();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(QString::fromUtf8(request.path), manifestPath);
    EXPECT_EQ(request.headers.value("x-tolvaran-version"), "26.8.70");
    EXPECT_EQ(request.headers.value("accept"), "application/json");
}

TEST(AppUpdateServiceCheck, anUnreachableServerPublishesNothing)
{
    UpdateWorld world;
    AppUpdateEnvironment environment = world.environment();
    environment.serverURL = "http://127.0.0.1:1";
    AppUpdateService service(environment);
    ASSERT_TRUE(check(service));
    EXPECT_FALSE(service.availableUpdate().has_value());
}

TEST(AppUpdateServiceCheck, startChecksAtOnceAndOnlyOnce)
{
    UpdateWorld world;
    AppUpdateService service(world.environment());
    EXPECT_FALSE(service.hasStarted());
    EXPECT_TRUE(world.server.requests().isEmpty()); // constructing asks nothing
    service.start();
    service.start();
    ASSERT_TRUE(waitUntil([&] { return world.server.requests().size() == 1; }));
    // A second check would go out on a connection of its own, which nothing on this thread
    // comes after in order: a bounded wait shows there is none.
    fixtures::processEventsFor(std::chrono::milliseconds(300));
    EXPECT_EQ(world.server.requests().size(), 1);
    EXPECT_TRUE(service.hasStarted());
}

TEST(AppUpdateServiceInstall, withoutAnUpdateNothingHappens)
{
    UpdateWorld world;
    AppUpdateService service(world.environment());
    QSignalSpy installing(&service, &AppUpdateService::isInstallingChanged);
    ASSERT_TRUE(install(service));
    EXPECT_EQ(installing.count(), 0);
    EXPECT_TRUE(world.server.requests().isEmpty());
}

// Each broken release fails with its sentence, and leaves the running copy as it was, no work
// folder and no staged copy.
TEST(AppUpdateServiceInstall, refusesEveryBrokenRelease)
{
    struct Row
    {
        const char *name;
        // Returns the manifest to announce; sets what the server sends.
        std::function<AppUpdateManifest(UpdateWorld &, QByteArray &served)> make;
        const char *message;
    };
    const auto good = [](UpdateWorld &world) { return world.releaseArchive("26.9.1"); };
    const auto hostile = [](void (*add)(fixtures::TarArchiveWriter &)) {
        return [add](UpdateWorld &, QByteArray &served) {
            fixtures::TarArchiveWriter writer;
            writer.addFolder("Tolvaran/");
            writer.addFile("Tolvaran/application.json",
                           R"({"identifier":"com.ostvik.tolvaran","version":"26.9.1"})");
            add(writer);
            served = writer.gzipped();
            return ReleaseBuilder::manifestFor("26.9.1", served);
        };
    };
    const Row rows[] = {
        {"a download answered 404",
         [](UpdateWorld &, QByteArray &served) {
             served.clear();
             AppUpdateManifest manifest = ReleaseBuilder::manifestFor("26.9.1", "gone");
             return manifest;
         },
         "The update could not be downloaded."},
        {"a body one byte short",
         [good](UpdateWorld &world, QByteArray &served) {
             served = good(world);
             const AppUpdateManifest manifest = ReleaseBuilder::manifestFor("26.9.1", served);
             served.chop(1);
             return manifest;
         },
         "The downloaded update has an unexpected size."},
        {"a body one byte long",
         [good](UpdateWorld &world, QByteArray &served) {
             served = good(world);
             const AppUpdateManifest manifest = ReleaseBuilder::manifestFor("26.9.1", served);
             served += 'x';
             return manifest;
         },
         "The downloaded update has an unexpected size."},
        {"a body with one byte changed",
         [good](UpdateWorld &world, QByteArray &served) {
             served = good(world);
             const AppUpdateManifest manifest = ReleaseBuilder::manifestFor("26.9.1", served);
             served[served.size() / 2] = char(served[served.size() / 2] ^ 0x01);
             return manifest;
         },
         "The downloaded update failed integrity verification."},
        {"a wrong signature",
         [](UpdateWorld &world, QByteArray &served) {
             const fixtures::ReleaseSigningKey stranger;
             served = world.releaseArchive("26.9.1", {}, {}, &stranger);
             return ReleaseBuilder::manifestFor("26.9.1", served);
         },
         "The downloaded app is not signed by Tolvaran's maker."},
        {"a file added after signing",
         [](UpdateWorld &world, QByteArray &served) {
             const QString parent = world.home.filePath("late");
             world.writeRelease(parent, "26.9.1");
             QFile extra(parent + "/Tolvaran/bin/extra");
             EXPECT_TRUE(extra.open(QIODevice::WriteOnly));
             extra.close();
             served = ReleaseBuilder::archiveOf(parent);
             return ReleaseBuilder::manifestFor("26.9.1", served);
         },
         "The downloaded app is not signed by Tolvaran's maker."},
        {"a wrong identity",
         [](UpdateWorld &world, QByteArray &served) {
             const QString parent = world.home.filePath("other");
             fixtures::ReleaseBuilder::writeApplicationFolder(parent + "/Tolvaran", "26.9.1",
                                                              "exit 0", "com.example.other");
             ReleaseBuilder::signApplicationFolder(parent + "/Tolvaran", world.key);
             served = ReleaseBuilder::archiveOf(parent);
             return ReleaseBuilder::manifestFor("26.9.1", served);
         },
         "The downloaded app has an unexpected identity or version."},
        {"a wrong version",
         [](UpdateWorld &world, QByteArray &served) {
             served = world.releaseArchive("26.9.2");
             return ReleaseBuilder::manifestFor("26.9.1", served);
         },
         "The downloaded app has an unexpected identity or version."},
        {"no application folder",
         [](UpdateWorld &, QByteArray &served) {
             fixtures::TarArchiveWriter writer;
             writer.addFolder("Tolvaran/");
             served = writer.gzipped();
             return ReleaseBuilder::manifestFor("26.9.1", served);
         },
         "The downloaded app has an unexpected identity or version."},
        {"an archive with dot-dot",
         hostile([](fixtures::TarArchiveWriter &w) { w.addFile("Tolvaran/../../x", "x"); }),
         "The downloaded update contains entries that cannot be installed safely."},
        {"an archive with an absolute path",
         hostile([](fixtures::TarArchiveWriter &w) { w.addFile("/tmp/tolvaran-x", "x"); }),
         "The downloaded update contains entries that cannot be installed safely."},
        {"an archive with a link out",
         hostile([](fixtures::TarArchiveWriter &w) {
             w.add(fixtures::TarArchiveWriter::Type::link, "Tolvaran/bin", {}, "/usr/bin");
         }),
         "The downloaded update contains entries that cannot be installed safely."},
        {"an archive with a device",
         hostile([](fixtures::TarArchiveWriter &w) {
             w.add(fixtures::TarArchiveWriter::Type::characterDevice, "Tolvaran/tty", {}, {},
                   0666);
         }),
         "The downloaded update contains entries that cannot be installed safely."},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        UpdateWorld world;
        const QByteArray listingBefore = world.runningListing();
        AppUpdateService service(world.environment());
        QByteArray served;
        const AppUpdateManifest manifest = row.make(world, served);
        offer(world, service, manifest, served);
        if (served.isEmpty())
            world.server.setResponse(manifest.downloadPath,
                                     LocalHttpServer::Response::withStatus(404));

        QSignalSpy installing(&service, &AppUpdateService::isInstallingChanged);
        ASSERT_TRUE(install(service));

        EXPECT_EQ(installing.count(), 2); // on, then off
        EXPECT_FALSE(service.isInstalling());
        EXPECT_EQ(service.errorMessage(), QString::fromUtf8(row.message));
        EXPECT_EQ(world.quitCalls, 0);
        EXPECT_EQ(world.runningListing(), listingBefore);
        EXPECT_EQ(world.appsEntries(), QStringList{"Tolvaran"});
        EXPECT_TRUE(world.temporaryEntries().isEmpty())
            << world.temporaryEntries().join(' ').toStdString();
        EXPECT_FALSE(QFile::exists("/tmp/tolvaran-x"));
    }
}

TEST(AppUpdateServiceInstall, refusesCopiesItMayNotReplaceBeforeDownloading)
{
    struct Row
    {
        const char *name;
        QString (*executable)(UpdateWorld &);
        const char *message;
    };
    const Row rows[] = {
        {"a build tree",
         [](UpdateWorld &world) { return world.home.writeFile("build/src/tolvaran", "x"); },
         "Updates require Tolvaran to be installed in an application folder."},
        {"a Debian package", [](UpdateWorld &) { return QString("/usr/bin/tolvaran"); },
         "This copy of Tolvaran is updated by its package manager or build, not by itself."},
        {"a folder of another program",
         [](UpdateWorld &world) {
             ReleaseBuilder::writeApplicationFolder(world.home.filePath("apps2/Tolvaran"),
                                                    "26.8.70", "exit 0", "com.example.other");
             return world.home.filePath("apps2/Tolvaran/bin/tolvaran");
         },
         "Updates require Tolvaran to be installed in an application folder."},
        {"an unknown folder name",
         [](UpdateWorld &world) {
             ReleaseBuilder::writeApplicationFolder(world.home.filePath("apps2/tolvaran"),
                                                    "26.8.70");
             return world.home.filePath("apps2/tolvaran/bin/tolvaran");
         },
         "Updates require Tolvaran to be installed in an application folder."},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        UpdateWorld world;
        AppUpdateService service(world.environment(row.executable(world)));
        const QByteArray archive = world.releaseArchive("26.9.1");
        const AppUpdateManifest manifest = ReleaseBuilder::manifestFor("26.9.1", archive);
        offer(world, service, manifest, archive);
        ASSERT_TRUE(install(service));
        EXPECT_EQ(service.errorMessage(), QString::fromUtf8(row.message));
        EXPECT_EQ(world.server.requestCount(manifest.downloadPath), 0);
        EXPECT_TRUE(world.temporaryEntries().isEmpty());
    }
}

TEST(AppUpdateServiceInstall, refusesAnInstallationFolderItCannotWrite)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write into any folder";
    UpdateWorld world;
    AppUpdateService service(world.environment());
    const QByteArray archive = world.releaseArchive("26.9.1");
    offer(world, service, ReleaseBuilder::manifestFor("26.9.1", archive), archive);
    QFile::setPermissions(world.appsFolder(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    ASSERT_TRUE(install(service));
    QFile::setPermissions(world.appsFolder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                  | QFileDevice::ExeOwner);
    EXPECT_EQ(service.errorMessage(),
              "The app's installation folder is not writable. A copy installed for every user "
              "is updated by running its install again as root.");
    EXPECT_TRUE(world.temporaryEntries().isEmpty());
}

// A second install, or a check, while an installation downloads leaves the installation
// to go on with its own copy of the release; the check clears the offer without asking the
// server.
TEST(AppUpdateServiceInstall, aSecondInstallOrACheckWhileOneRunsLeavesItAlone)
{
    UpdateWorld world;
    AppUpdateService service(world.environment());
    const QByteArray archive = world.releaseArchive("26.9.1");
    const AppUpdateManifest manifest = ReleaseBuilder::manifestFor("26.9.1", archive);
    offer(world, service, manifest, archive);
    world.server.hold(manifest.downloadPath);

    bool firstFinished = false;
    bool secondFinished = false;
    service.installAvailableUpdate([&] { firstFinished = true; });
    ASSERT_TRUE(service.isInstalling());
    service.installAvailableUpdate([&] { secondFinished = true; });
    EXPECT_TRUE(secondFinished);
    ASSERT_TRUE(waitUntil(
        [&] { return world.server.requestCount(manifest.downloadPath) == 1; }));
    const int manifestRequests = world.server.requestCount(manifestPath);
    ASSERT_TRUE(check(service));
    EXPECT_FALSE(service.availableUpdate().has_value());
    EXPECT_EQ(world.server.requestCount(manifestPath), manifestRequests);
    EXPECT_TRUE(service.isInstalling());
    EXPECT_FALSE(firstFinished);

    world.server.release(manifest.downloadPath);
    ASSERT_TRUE(waitUntil([&] { return firstFinished; }));
    EXPECT_EQ(world.server.requestCount(manifest.downloadPath), 1);
    EXPECT_EQ(world.quitCalls, 1);
    EXPECT_TRUE(service.isInstalling()); // until the program quits
    EXPECT_FALSE(service.errorMessage().has_value());
    EXPECT_TRUE(finishSwap(world));
}

TEST(AppUpdateServiceInstall, reportsProgressWhileDownloading)
{
    UpdateWorld world;
    AppUpdateService service(world.environment());
    const QByteArray archive = world.releaseArchive("26.9.1");
    offer(world, service, ReleaseBuilder::manifestFor("26.9.1", archive), archive);
    QList<WorkProgress> seen;
    QObject::connect(&service, &AppUpdateService::installProgressChanged, &service,
                     [&] { seen.append(service.installProgress()); });
    ASSERT_TRUE(install(service));
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(),
                            [](const WorkProgress &p) { return p.fraction == 1.0; }));
    EXPECT_EQ(seen.last().text, "Preparing the update");
    EXPECT_TRUE(finishSwap(world));
}

TEST(AppUpdateServiceInstall, endingTheServiceStopsAStalledDownloadAndCleansUp)
{
    UpdateWorld world;
    auto service = std::make_unique<AppUpdateService>(world.environment());
    const QByteArray archive = world.releaseArchive("26.9.1");
    const AppUpdateManifest manifest = ReleaseBuilder::manifestFor("26.9.1", archive);
    offer(world, *service, manifest, archive);
    world.server.hold(manifest.downloadPath); // the download never answers
    bool finished = false;
    service->installAvailableUpdate([&] { finished = true; });
    ASSERT_TRUE(waitUntil(
        [&] { return world.server.requestCount(manifest.downloadPath) == 1; }));

    service.reset(); // waits for the job, which stops at once
    EXPECT_FALSE(finished); // nobody is left to tell
    EXPECT_TRUE(world.temporaryEntries().isEmpty());
    EXPECT_EQ(world.appsEntries(), QStringList{"Tolvaran"});
    EXPECT_EQ(world.quitCalls, 0);
}

TEST(AppUpdateInstaller, neverPreparesAReleaseThatIsNotNewer)
{
    UpdateWorld world;
    for (const char *version : {"26.8.70", "26.8.9"}) {
        SCOPED_TRACE(version);
        const QByteArray archive = world.releaseArchive(version);
        const AppUpdateManifest manifest = ReleaseBuilder::manifestFor(version, archive);
        ReleaseBuilder::publish(world.server, manifest, archive);
        const auto request = AppUpdateService::updateRequest(
            ReleaseBuilder::baseAddress(world.server), manifest.downloadPath, UpdateWorld::runningVersion);
        ASSERT_TRUE(request.has_value());
        try {
            AppUpdateInstaller::prepare(*request, manifest, world.environment(), {});
            ADD_FAILURE() << "prepared";
        } catch (const AppUpdateError &error) {
            EXPECT_EQ(error.kind(), AppUpdateError::Kind::invalidBundle);
        }
        EXPECT_EQ(world.server.requestCount(manifest.downloadPath), 0);
    }
}

TEST(AppUpdateInstaller, neverReusesAWorkFolder)
{
    // The work folder's name is random; one that exists (planted by someone else) is never
    // entered: creation fails instead.
    UpdateWorld world;
    AppUpdateEnvironment environment = world.environment();
    environment.temporaryDirectory = world.home.filePath("no-such-folder");
    const QByteArray archive = world.releaseArchive("26.9.1");
    const AppUpdateManifest manifest = ReleaseBuilder::manifestFor("26.9.1", archive);
    const auto request = AppUpdateService::updateRequest(ReleaseBuilder::baseAddress(world.server),
                                                         manifest.downloadPath, "26.8.70");
    EXPECT_THROW(AppUpdateInstaller::prepare(*request, manifest, environment, {}),
                 AppUpdateError);
}

} // namespace
} // namespace tolvaran
