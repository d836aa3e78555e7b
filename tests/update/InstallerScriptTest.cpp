#include "UpdateWorld.h"
#include "platform/ProcessRunner.h"
#include "support/QtPrinters.h"
#include "support/TemporaryHome.h"
#include "support/update/ReleaseBuilder.h"
#include "support/WaitUntil.h"
#include "update/AppUpdateError.h"
#include "update/AppUpdateInstaller.h"
#include "update/AppUpdateService.h"
#include "update/ApplicationFolder.h"
#include "update/ApplicationSignature.h"
#include "update/FolderExchange.h"
#include "update/UpdateLeftovers.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace tolvaran {
namespace {

using fixtures::UpdateWorld;
using fixtures::waitUntil;
namespace ReleaseBuilder = fixtures::ReleaseBuilder;

QString installedVersion(const UpdateWorld &world)
{
    return ApplicationFolder::readMetadata(world.runningFolder()).version;
}

// Installs a release whose program runs `programBody` through the service, then lets the
// script run (the stand-in for the quitting program ends).
void installThroughTheService(UpdateWorld &world, const QString &programBody = {})
{
    AppUpdateService service(world.environment());
    const QByteArray archive = world.releaseArchive(UpdateWorld::newVersion, programBody);
    ReleaseBuilder::publish(world.server,
                            ReleaseBuilder::manifestFor(UpdateWorld::newVersion, archive),
                            archive);
    bool checked = false;
    service.checkForUpdates([&] { checked = true; });
    ASSERT_TRUE(waitUntil([&] { return checked; }));
    ASSERT_TRUE(service.availableUpdate().has_value());
    service.installAvailableUpdate();
    ASSERT_TRUE(waitUntil([&] { return world.quitCalls == 1; }));
    EXPECT_TRUE(service.isInstalling());
    world.endStandIn();
}

TEST(InstallerScript, replacesTheRunningCopyAndStartsTheNewOne)
{
    UpdateWorld world;
    installThroughTheService(world);

    ASSERT_TRUE(waitUntil([&] {
        return world.startedVersions() == QStringList{UpdateWorld::newVersion}
               && world.appsEntries() == QStringList{"Tolvaran"}
               && world.temporaryEntries().isEmpty();
    })) << world.appsEntries().join(' ').toStdString();
    EXPECT_EQ(installedVersion(world), UpdateWorld::newVersion);
    EXPECT_NO_THROW(
        ApplicationSignature::verifyFolder(world.runningFolder(), world.key.publicKey()));
}

// A new copy that ends with a failure at once never reaches the install path: it goes, and
// the old copy starts again.
TEST(InstallerScript, aNewCopyThatFailsAtOnceIsRolledBack)
{
    UpdateWorld world;
    const QByteArray listingBefore = world.runningListing();
    installThroughTheService(world, "exit 3");

    ASSERT_TRUE(waitUntil([&] {
        return world.startedVersions() == QStringList{UpdateWorld::runningVersion}
               && world.appsEntries() == QStringList{"Tolvaran"};
    })) << world.appsEntries().join(' ').toStdString();
    EXPECT_EQ(world.runningListing(), listingBefore);
}

// The script run directly, on folders laid out as a preparation leaves them.
class InstallerScriptRun : public ::testing::Test
{
protected:
    InstallerScriptRun()
    {
        world.writeRelease(world.home.filePath("staging"), UpdateWorld::newVersion);
        QDir().rename(world.home.filePath("staging/Tolvaran"), staged());
        QDir().mkpath(cleanup());
        script = world.home.writeFile("work/install-update.sh",
                                      AppUpdateInstaller::installerScript().toUtf8());
        pid = world.standInProcessID();
        world.endStandIn();
    }

    QString staged() const { return world.home.filePath("apps/.Tolvaran.update-T"); }
    QString backup() const { return world.home.filePath("apps/.Tolvaran.backup-T"); }
    QString cleanup() const { return world.home.filePath("work"); }

    int runScript()
    {
        ProcessRequest request;
        request.program = "/bin/sh";
        request.arguments = {script,   QString::number(pid), world.runningFolder(),
                             world.runningFolder(), staged(), backup(), cleanup(), "5"};
        request.timeoutMilliseconds = 60'000;
        return ProcessRunner::run(request).exitCode;
    }

    UpdateWorld world;
    QString script;
    qint64 pid = 0;
};

TEST_F(InstallerScriptRun, fallsBackToTwoRenamesWhereTheFileSystemCannotExchange)
{
    world.refuseFolderExchange();
    EXPECT_EQ(runScript(), 0);
    EXPECT_EQ(installedVersion(world), UpdateWorld::newVersion);
    EXPECT_EQ(world.appsEntries(), QStringList{"Tolvaran"});
    EXPECT_FALSE(QFileInfo::exists(cleanup()));
    EXPECT_EQ(world.startedVersions(), QStringList{UpdateWorld::newVersion});
}

// The new copy, started where it was staged, cannot take the install path: it is stopped, and
// the old copy starts again.
TEST_F(InstallerScriptRun, startsTheOldCopyAgainWhenItCannotBeMovedAside)
{
    world.refuseFolderExchange();
    const QByteArray listingBefore = world.runningListing();
    // A folder already at the backup path: a plain mv would move the copy into it.
    world.home.writeFile("apps/.Tolvaran.backup-T/occupied", "x");

    EXPECT_EQ(runScript(), 1);
    EXPECT_EQ(world.runningListing(), listingBefore);
    EXPECT_FALSE(QFileInfo::exists(staged()));
    EXPECT_FALSE(QFileInfo::exists(backup() + "/Tolvaran"));
    EXPECT_TRUE(waitUntil([&] {
        return world.startedVersions()
               == QStringList{UpdateWorld::newVersion, UpdateWorld::runningVersion};
    }));
}

TEST_F(InstallerScriptRun, restoresTheOldCopyWhenTheNewOneCannotBeMovedIn)
{
    const QByteArray listingBefore = world.runningListing();
    QDir(staged()).removeRecursively();

    EXPECT_EQ(runScript(), 1);
    EXPECT_EQ(world.runningListing(), listingBefore);
    EXPECT_FALSE(QFileInfo::exists(backup()));
    EXPECT_TRUE(QFileInfo::exists(cleanup()));
    EXPECT_TRUE(waitUntil(
        [&] { return world.startedVersions() == QStringList{UpdateWorld::runningVersion}; }));
}

TEST_F(InstallerScriptRun, movesTheNewCopyInWhenTheRunningOneIsGone)
{
    QDir(world.runningFolder()).removeRecursively();

    EXPECT_EQ(runScript(), 0);
    EXPECT_EQ(installedVersion(world), UpdateWorld::newVersion);
    EXPECT_EQ(world.appsEntries(), QStringList{"Tolvaran"});
    EXPECT_FALSE(QFileInfo::exists(cleanup()));
    EXPECT_EQ(world.startedVersions(), QStringList{UpdateWorld::newVersion});
}

TEST_F(InstallerScriptRun, waitsForTheProgramToEnd)
{
    QProcess program;
    program.start("sleep", {"120"});
    ASSERT_TRUE(program.waitForStarted());
    pid = program.processId();
    ProcessRequest request;
    request.program = "/bin/sh";
    request.arguments = {script, QString::number(pid), world.runningFolder(),
                         world.runningFolder(), staged(), backup(), cleanup(), "5"};
    request.timeoutMilliseconds = 1'000;
    EXPECT_TRUE(ProcessRunner::run(request).timedOut);
    EXPECT_EQ(installedVersion(world), UpdateWorld::runningVersion);
    EXPECT_TRUE(world.startedVersions().isEmpty());
    program.kill();
    program.waitForFinished();
}

// What a killed installation left beside the install path stays while an installer script
// for that folder runs, and goes at the next start of the installed copy once none does.
TEST_F(InstallerScriptRun, theNextStartRemovesWhatAnInstallationCutShortLeft)
{
    world.home.writeFile("apps/.Tolvaran.backup-K/bin/tolvaran", "partly removed");
    QProcess program;
    program.start("sleep", {"120"});
    ASSERT_TRUE(program.waitForStarted());
    QProcess waiting;
    // In a process group of its own, as the program starts it.
    waiting.setChildProcessModifier([] { ::setsid(); });
    waiting.start("/bin/sh", {script, QString::number(program.processId()), world.runningFolder(),
                              world.runningFolder(), staged(), backup(), cleanup(), "5"});
    ASSERT_TRUE(waiting.waitForStarted());
    const QStringList everything = world.appsEntries();
    ASSERT_EQ(everything.size(), 3) << everything.join(' ').toStdString();

    EXPECT_EQ(UpdateLeftovers::remove(world.runningFolder()), QStringList{});
    EXPECT_EQ(world.appsEntries(), everything);

    // Cut short as a logout cuts it: the whole group at once, so that no child the shell has
    // just forked (which carries the script's command line until it execs) outlives it. The
    // kill takes effect as each process next runs.
    ::kill(-pid_t(waiting.processId()), SIGKILL);
    waiting.waitForFinished();
    ASSERT_TRUE(
        waitUntil([&] { return !UpdateLeftovers::installerRunsFor(world.runningFolder()); }));
    program.kill();
    program.waitForFinished();
    AppUpdateService service(world.environment());
    service.start();
    EXPECT_TRUE(waitUntil([&] { return world.appsEntries() == QStringList{"Tolvaran"}; }))
        << world.appsEntries().join(' ').toStdString();
    EXPECT_EQ(installedVersion(world), UpdateWorld::runningVersion);
}

// The new copy starts where it was staged and its folder then takes the install path: the
// program, read through the system's link to it, is found at the install path, so that copy
// can install the next update.
TEST(InstallerScript, aCopyStartedWhereItWasStagedIsFoundWhereItWasMoved)
{
    fixtures::TemporaryHome home;
    const QString staged = home.filePath("apps/.Tolvaran.update-M");
    ReleaseBuilder::writeApplicationFolder(staged, UpdateWorld::newVersion);
    const QString program = staged + "/bin/tolvaran";
    QFile::remove(program);
    ASSERT_TRUE(QFile::copy(ProcessRunner::findExecutable("sleep", {"/usr/bin/sleep"}), program));
    QProcess copy;
    copy.start(program, {"120"});
    ASSERT_TRUE(copy.waitForStarted());
    const QString link = QStringLiteral("/proc/%1/exe").arg(copy.processId());
    EXPECT_THROW(ApplicationFolder::replaceableFolder(link), AppUpdateError);

    ASSERT_TRUE(QDir().rename(staged, home.filePath("apps/Tolvaran")));
    EXPECT_EQ(ApplicationFolder::replaceableFolder(link), home.filePath("apps/Tolvaran"));
    copy.kill();
    copy.waitForFinished();
}

} // namespace
} // namespace tolvaran

namespace tolvaran {
namespace {

// The program's helper modes, called as main() calls them.
std::optional<int> runHelperMode(std::vector<QByteArray> words)
{
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    return FolderExchange::runIfAsked(int(argv.size()), argv.data());
}

TEST(FolderExchange, swapsTwoFoldersOnlyWhenAskedAndSaysWhyNot)
{
    fixtures::TemporaryHome home;
    home.writeFile("a/old", "");
    home.writeFile("b/new", "");
    const QByteArray a = QFile::encodeName(home.filePath("a"));
    const QByteArray b = QFile::encodeName(home.filePath("b"));
    const QByteArray missing = QFile::encodeName(home.filePath("missing"));
    const auto run = runHelperMode;

    EXPECT_EQ(run({"tolvaran"}), std::nullopt);
    EXPECT_EQ(run({"tolvaran", "--other", a, b}), std::nullopt);
    EXPECT_EQ(run({"tolvaran", FolderExchange::argument, a}), FolderExchange::failed);
    EXPECT_EQ(run({"tolvaran", FolderExchange::argument, a, missing}), FolderExchange::failed);
    EXPECT_TRUE(QFileInfo::exists(home.filePath("a/old")));

    EXPECT_EQ(run({"tolvaran", FolderExchange::argument, a, b}), FolderExchange::exchanged);
    EXPECT_TRUE(QFileInfo::exists(home.filePath("a/new")));
    EXPECT_TRUE(QFileInfo::exists(home.filePath("b/old")));
}

// Where the file system cannot exchange: the destination's copy moves aside and the new one
// takes its place, or nothing changes when either move cannot be made.
TEST(FolderExchange, replacesAFolderWithTwoRenamesOrLeavesItAsItWas)
{
    fixtures::TemporaryHome home;
    home.writeFile("a/old", "");
    home.writeFile("b/new", "");
    home.writeFile("occupied/x", "");
    const auto path = [&](const char *name) { return QFile::encodeName(home.filePath(name)); };
    const auto run = runHelperMode;
    const QByteArray replace = FolderExchange::replaceArgument;

    EXPECT_EQ(run({"tolvaran", replace, path("a"), path("b")}), FolderExchange::failed);
    EXPECT_EQ(run({"tolvaran", replace, path("a"), path("b"), path("occupied")}),
              FolderExchange::failed);
    EXPECT_EQ(run({"tolvaran", replace, path("a"), path("missing"), path("aside")}),
              FolderExchange::failed);
    EXPECT_TRUE(QFileInfo::exists(home.filePath("a/old")));
    EXPECT_FALSE(QFileInfo::exists(home.filePath("aside")));

    EXPECT_EQ(run({"tolvaran", replace, path("a"), path("b"), path("aside")}),
              FolderExchange::replaced);
    EXPECT_TRUE(QFileInfo::exists(home.filePath("a/new")));
    EXPECT_TRUE(QFileInfo::exists(home.filePath("aside/old")));
    EXPECT_FALSE(QFileInfo::exists(home.filePath("b")));
    // A missing destination is simply filled.
    EXPECT_EQ(run({"tolvaran", replace, path("c"), path("a"), path("aside2")}),
              FolderExchange::replaced);
    EXPECT_TRUE(QFileInfo::exists(home.filePath("c/new")));
}

} // namespace
} // namespace tolvaran
