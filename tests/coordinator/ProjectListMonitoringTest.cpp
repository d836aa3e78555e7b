#include "CoordinatorDouble.h"
#include "CoordinatorWorld.h"

#include "coordinator/CodexChangeMonitor.h"
#include "coordinator/RepositoryRefreshScheduler.h"
#include "data/git/ProjectMetadataCacheSnapshot.h"
#include "platform/storage/SqliteDatabase.h"
#include "support/GitRepositoryBuilder.h"
#include "support/QtPrinters.h"
#include "support/codex/RolloutLines.h"
#include "support/WaitUntil.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace std::chrono_literals;

namespace {

QString threadID(int number)
{
    return QStringLiteral("019b0000-0000-7000-8000-%1").arg(number, 12, 10, QLatin1Char('0'));
}

// A monitor sets its watches up on its own thread after it starts. Repeats `poke` until the
// coordinator shows, through `seen`, that a change reached it.
bool pokeUntil(const std::function<void()> &poke, const std::function<bool()> &seen)
{
    const QDeadlineTimer deadline(outcomeDeadline);
    while (!deadline.hasExpired()) {
        poke();
        if (waitUntil(seen, 1500ms))
            return true;
    }
    return false;
}

// Shows that the changes made so far in Codex's folder have reached the coordinator and that
// the refresh they asked for has run. A write to an active thread's rollout follows them
// through the same watch and debounce; it asks for a processing refresh of its own unless a
// full refresh is still pending (a full refresh covers the processing state). Returns whether
// the write ended in a full refresh; nothing when no request came.
std::optional<bool> drainCodexChanges(CoordinatorWorld &world, const QString &activeThread)
{
    auto *monitor = world.model->findChild<CodexChangeMonitor *>();
    if (!monitor)
        return std::nullopt;
    const int refreshes = world.fullRefreshCount();
    bool full = false;
    bool processing = false;
    QObject receiver;
    QObject::connect(monitor, &CodexChangeMonitor::fullRefreshRequested, &receiver,
                     [&] { full = true; });
    QObject::connect(monitor, &CodexChangeMonitor::processingRefreshRequested, &receiver,
                     [&] { processing = true; });
    world.codex.appendRolloutLines(
        activeThread, rollout::taskEvent(Timestamp::now(), QStringLiteral("item_completed")));
    if (!waitUntil([&] { return full || processing; }))
        return std::nullopt;
    if (full && !waitUntil([&] { return world.fullRefreshCount() > refreshes; }))
        return std::nullopt;
    return full;
}

// Rewrites the global-state file until a full refresh follows: Codex's folder is watched.
bool waitUntilCodexFolderWatched(CoordinatorWorld &world)
{
    const int before = world.fullRefreshCount();
    return pokeUntil(
        [&] {
            world.codex.writeGlobalState(FakeCodexHome::globalStateObject({}, {}, {}));
        },
        [&] { return world.fullRefreshCount() > before; });
}

} // namespace

TEST(ProjectListMonitoring, taskEventsInAWatchedRolloutStartAndEndProcessing)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    const QString probe = world.projectFolder(QStringLiteral("probe"));
    world.addThread(threadID(1), app, 60);
    world.addThread(threadID(2), probe, 60); // its rollout file lies beside the first one's
    world.writeDatabase();
    // Codex runs both threads: a started turn counts only while its process lives.
    world.codex.keepRunning(threadID(1));
    world.codex.keepRunning(threadID(2));
    world.makeModel();
    ASSERT_TRUE(world.startMonitoring());
    ASSERT_TRUE(pokeUntil(
        [&] {
            world.codex.appendRolloutLines(threadID(2), rollout::taskStarted(Timestamp::now()));
        },
        [&] { return world.isProcessing(probe); }));
    ASSERT_FALSE(world.isProcessing(app));

    world.codex.appendRolloutLines(threadID(1), rollout::taskStarted(Timestamp::now()));
    EXPECT_TRUE(waitUntil([&] { return world.isProcessing(app); }));
    EXPECT_EQ(world.model->processingProjectCount(), 2);

    world.codex.appendRolloutLines(threadID(1), rollout::assistantMessage(Timestamp::now(), "x")
                                                    + rollout::taskComplete(Timestamp::now()));
    EXPECT_TRUE(waitUntil([&] { return !world.isProcessing(app); }));
}

TEST(ProjectListMonitoring, writeToTheThreadDatabaseRunsExactlyOneFullRefresh)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    world.addThread(threadID(1), app, 60);
    world.writeDatabase(FakeCodexLogState::rowsOnlyInLog);
    // Codex runs: it holds its database open, so its log and index files stay.
    SqliteDatabase codex(world.codex.databasePath(), SQLITE_OPEN_READWRITE);
    codex.setBusyTimeout(10000); // waits for our reads, as Codex does
    codex.execute(QStringLiteral("BEGIN; SELECT count(*) FROM threads; COMMIT;"));
    world.makeModel();
    ASSERT_TRUE(world.startMonitoring());
    ASSERT_TRUE(waitUntilCodexFolderWatched(world));
    // The rewrites may have asked for one more refresh than the one seen (a few rounds at
    // most: a refresh that asks for the next would go on for ever).
    for (int round = 0; round < 3 && drainCodexChanges(world, threadID(1)) == true; ++round) {
    }
    const int before = world.fullRefreshCount();

    codex.execute(QStringLiteral("UPDATE threads SET title = 'Renamed' WHERE id = '")
                  + threadID(1) + QLatin1Char('\''));

    EXPECT_TRUE(waitUntil([&] {
        return world.projectAt(app)->threads().first().title == QLatin1String("Renamed");
    }));
    // The refresh's own reads would ask for the second one before this write does.
    drainCodexChanges(world, threadID(1));
    EXPECT_EQ(world.fullRefreshCount(), before + 1);
}

// The pause the monitor waits for after Codex's writes runs on the coordinator's clock: a
// change that reached it asks for its refresh once that clock has moved by the debounce.
TEST(ProjectListMonitoring, theCoordinatorsClockTimesTheWaitAfterCodexsWrites)
{
    CoordinatorWorld world;
    world.addThread(threadID(1), world.projectFolder(QStringLiteral("app")), 60);
    world.writeDatabase();
    FakeClock clock;
    ProjectActionServices services = ProjectActionServices::system();
    services.clock = clock.clock();
    world.makeModel({}, std::move(services));
    ASSERT_TRUE(world.startMonitoring());
    auto *monitor = world.model->findChild<CodexChangeMonitor *>();
    ASSERT_NE(monitor, nullptr);
    bool globalStateChanged = false;
    bool requested = false;
    QObject receiver;
    QObject::connect(monitor, &CodexChangeMonitor::filesChanged, &receiver,
                     [&](const QStringList &paths) {
                         globalStateChanged = globalStateChanged
                                              || paths.contains(world.codex.globalStatePath());
                     });
    QObject::connect(monitor, &CodexChangeMonitor::fullRefreshRequested, &receiver,
                     [&] { requested = true; });

    ASSERT_TRUE(pokeUntil(
        [&] { world.codex.writeGlobalState(FakeCodexHome::globalStateObject({}, {}, {})); },
        [&] { return globalStateChanged; }));
    clock.advance(CodexChangeMonitor::debounce - 1ms);
    EXPECT_FALSE(requested);
    clock.advance(1ms);
    EXPECT_TRUE(requested);
}

TEST(ProjectListMonitoring, withCodexNotRunningIdleTimeCausesNoRefreshLoop)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    world.addThread(threadID(1), app, 60);
    world.addThread(threadID(2), app, 600000);
    // Checkpointed and closed: no log or index file, as Codex leaves them when it quits. Our
    // reads must not write anything there that looks like Codex at work.
    world.writeDatabase(FakeCodexLogState::checkpointed);
    world.makeModel();
    ASSERT_TRUE(world.startMonitoring());
    // A refresh while the monitor watches (the window's command, a Codex change).
    ASSERT_TRUE(world.refresh());
    drainCodexChanges(world, threadID(1));
    const int settled = world.fullRefreshCount();

    // In a loop of refreshes, each refresh's reads ask for the next: the changes after the
    // last one seen would end in a full refresh again.
    drainCodexChanges(world, threadID(1));
    drainCodexChanges(world, threadID(1));

    EXPECT_EQ(world.fullRefreshCount(), settled);
    EXPECT_LE(settled, 3);
}

TEST(ProjectListMonitoring, removedCodexDatabaseShowsTheSavedCatalog)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    const QString site = world.projectFolder(QStringLiteral("site"));
    world.addThread(threadID(1), app, 60);
    world.addThread(threadID(2), site, 120);
    world.writeDatabase();
    ProjectListViewModel &model = world.makeModel();
    ASSERT_TRUE(world.startMonitoring());
    ASSERT_TRUE(waitUntilCodexFolderWatched(world));

    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(world.codex.databasePath() + QLatin1String(suffix));

    ASSERT_TRUE(waitUntil([&] {
        return model.statusMessage() == ProjectListViewModel::codexUnavailableMessage;
    }));
    EXPECT_EQ(model.errorMessage(), std::nullopt);
    QStringList paths;
    for (const CodexProject &project : model.projects())
        paths.append(project.path());
    EXPECT_EQ(paths, (QStringList{app, site}));
}

TEST(ProjectListMonitoring, commitInAProjectUpdatesItsGitStatus)
{
    CoordinatorWorld world;
    GitRepositoryBuilder::bare(world.home.filePath(QStringLiteral("remote.git")));
    const QString app = world.projectFolder(QStringLiteral("app"));
    GitRepositoryBuilder repository =
        GitRepositoryBuilder::clone(world.home.filePath(QStringLiteral("remote.git")), app);
    repository.writeFile(QStringLiteral("README.md"), "# App\n");
    repository.commitAll(QStringLiteral("First"));
    repository.git({QStringLiteral("push"), QStringLiteral("-u"), QStringLiteral("origin"),
                    QStringLiteral("main")});
    world.addThread(threadID(1), app, 60);
    world.writeDatabase();
    ProjectListViewModel &model = world.makeModel();
    ASSERT_TRUE(world.startMonitoring());
    const auto status = [&] { return model.projectGitStatuses().value(app); };
    ASSERT_TRUE(waitUntil([&] { return status().upstream.has_value(); }));
    int probes = 0;
    ASSERT_TRUE(pokeUntil(
        [&] {
            repository.writeFile(QStringLiteral("probe-%1.txt").arg(++probes), "x");
        },
        [&, checked = status().checkedAt] { return status().checkedAt != checked; }));
    ASSERT_EQ(status().aheadCount, 0);

    repository.writeFile(QStringLiteral("main.cpp"), "int main() {}\n");
    repository.commitAll(QStringLiteral("Second"));

    EXPECT_TRUE(waitUntil([&] { return status().aheadCount == 1; }));
    EXPECT_EQ(world.metadataCache->gitStatuses().value(app), status());
}

TEST(ProjectListMonitoring, changesRefreshTheInnermostProjectThatHoldsThem)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    const QString sub = world.projectFolder(QStringLiteral("app/sub"));
    GitRepositoryBuilder outer(app);
    GitRepositoryBuilder inner(sub);
    world.addThread(threadID(1), app, 60);
    world.addThread(threadID(2), sub, 120);
    world.writeDatabase();
    world.makeModel();
    ASSERT_TRUE(world.startMonitoring());
    ASSERT_TRUE(waitUntil([&] {
        return world.metadataCache->currentSnapshot().hasCompletedInitialIndex == true;
    }));

    int probes = 0;
    world.team.rescans.clear();
    ASSERT_TRUE(pokeUntil([&] { inner.writeFile(QStringLiteral("x-%1").arg(++probes), "x"); },
                          [&] { return !world.team.rescans.isEmpty(); }));
    for (const QSet<QString> &batch : world.team.rescans)
        EXPECT_EQ(batch, QSet<QString>{sub});

    // Until the probes' refreshes have all ended: they come from writes in the project's
    // folders, through a watch and a scheduler of their own that no later event follows in
    // order, so this waits for a quiet time.
    qsizetype seen = -1;
    while (seen != world.team.rescans.size()) {
        seen = world.team.rescans.size();
        processEventsFor(1500ms);
    }
    world.team.rescans.clear();
    outer.writeFile(QStringLiteral("subway.txt"), "beside the nested project, not in it");
    ASSERT_TRUE(waitUntil([&] { return !world.team.rescans.isEmpty(); }));
    EXPECT_EQ(world.team.rescans, QList<QSet<QString>>{{app}});
}

TEST(ProjectListMonitoring, repositoriesAreRefreshedFourAtATimeBeforeEachTeamRescan)
{
    CoordinatorWorld world;
    for (int i = 1; i <= 10; ++i) {
        world.addThread(threadID(i), world.projectFolder(QStringLiteral("p%1").arg(i)),
                        60.0 * i);
    }
    world.writeDatabase();
    ProjectListViewModel &model = world.makeModel();
    ASSERT_TRUE(world.refresh());
    const Timestamp start = Timestamp::now();
    QList<qsizetype> batchSizes;
    world.team.onRescan = [&](const QSet<QString> &paths) {
        batchSizes.append(paths.size());
        for (const QString &path : paths) {
            EXPECT_TRUE(model.projectGitStatuses().contains(path) &&
                        model.projectGitStatuses().value(path).checkedAt >= start)
                << path.toStdString();
        }
    };

    model.refreshAllRepositories();

    ASSERT_TRUE(waitUntil([&] { return batchSizes.size() == 3; }));
    EXPECT_EQ(batchSizes, (QList<qsizetype>{4, 4, 2}));
    EXPECT_EQ(model.projectGitStatuses().size(), 10);
    world.team.onRescan = {};
}

TEST(ProjectListMonitoring, firstStartIndexesEveryRepositoryThenClearsItsStatusText)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    const QString site = world.projectFolder(QStringLiteral("site"));
    const QString notes = world.projectFolder(QStringLiteral("notes"));
    for (const QString &path : {app, site}) {
        GitRepositoryBuilder repository(path);
        repository.writeFile(QStringLiteral("README.md"), "# Project\n");
        repository.commitAll(QStringLiteral("First"));
    }
    const QString gone = world.home.filePath(QStringLiteral("projects/gone"));
    world.addThread(threadID(1), app, 60);
    world.addThread(threadID(2), site, 120);
    world.addThread(threadID(3), notes, 180);
    world.addThread(threadID(4), gone, 240);
    world.writeDatabase();
    ProjectListViewModel &model = world.makeModel();
    QList<std::optional<QString>> statusTexts;
    QObject::connect(&model, &ProjectListViewModel::objectWillChange, &model, [&] {
        if (statusTexts.isEmpty() || statusTexts.constLast() != model.statusMessage())
            statusTexts.append(model.statusMessage());
    });

    ASSERT_TRUE(world.startMonitoring());
    ASSERT_TRUE(waitUntil([&] {
        return world.metadataCache->currentSnapshot().hasCompletedInitialIndex == true
            && !model.statusMessage();
    }));

    EXPECT_TRUE(statusTexts.contains(RepositoryRefreshScheduler::indexingMessage));
    EXPECT_TRUE(model.projectGitStatuses().value(app).isRepository);
    EXPECT_EQ(model.projectGitStatuses().value(app).branch, QStringLiteral("main"));
    EXPECT_TRUE(model.projectGitStatuses().value(site).isRepository);
    EXPECT_FALSE(model.projectGitStatuses().value(notes).isRepository);
    EXPECT_TRUE(model.projectGitStatuses().contains(notes));
    EXPECT_FALSE(model.projectGitStatuses().contains(gone));
    for (const QString &path : {app, site, notes})
        EXPECT_TRUE(world.team.rescans.contains(QSet<QString>{path})) << path.toStdString();

    // The next start finds every status in the cache file and indexes nothing.
    const QString cacheFile =
        world.supportDirectory + QLatin1Char('/') + QLatin1String(ProjectMetadataCache::fileName);
    ASSERT_TRUE(waitUntil([&] {
        QFile file(cacheFile);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const auto saved = ProjectMetadataCacheSnapshot::fromJson(
            QJsonDocument::fromJson(file.readAll()).object());
        return saved.hasCompletedInitialIndex == true && saved.gitStatuses.size() == 3;
    }));
    world.model.reset();
    statusTexts.clear();
    ProjectListViewModel &next = world.makeModel();
    QObject::connect(&next, &ProjectListViewModel::objectWillChange, &next, [&] {
        if (next.statusMessage())
            statusTexts.append(next.statusMessage());
    });
    ASSERT_TRUE(world.startMonitoring());
    // An indexing run would start from work of its own that nothing on this thread follows
    // in order: a bounded wait shows there is none.
    processEventsFor(500ms);
    EXPECT_TRUE(statusTexts.isEmpty());
    EXPECT_EQ(next.projectGitStatuses().size(), 3);
}
