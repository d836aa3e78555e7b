#include "CoordinatorDouble.h"
#include "CoordinatorWorld.h"

#include "support/QtPrinters.h"
#include "support/WaitUntil.h"

#include <QFile>

#include <functional>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace std::chrono_literals;

namespace {

const QString chat = QStringLiteral("019a0000-0000-7000-8000-00000000c0de");
const QString other = QStringLiteral("019a0000-0000-7000-8000-00000000beef");

// A coordinator whose clock the test moves.
struct ClockedWorld
{
    explicit ClockedWorld(CoordinatorWorld &world)
    {
        clock.now = Timestamp::now();
        ProjectActionServices services = ProjectActionServices::system();
        services.clock = clock.clock();
        model = &world.makeModel({}, std::move(services));
    }

    // Waits until `done` holds, running meanwhile what the clock has made due (an alarm set
    // by a job that finished after the clock last moved).
    bool settle(const std::function<bool()> &done)
    {
        return waitUntil([&] {
            clock.advance(0ms);
            return done();
        });
    }

    FakeClock clock;
    ProjectListViewModel *model = nullptr;
};

TEST(ProjectListStaysTrue, aKilledChatIsIdleAndALiveOneStopsWhenItsCodexEnds)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    const QString web = world.projectFolder(QStringLiteral("web"));
    world.addThread(chat, app, 60, FakeTurnEnd::running);
    world.addThread(other, web, 90, FakeTurnEnd::running);
    world.writeDatabase();
    world.codex.killCodex(other); // killed mid-turn: "task_started" stays its last event
    ClockedWorld clocked(world);
    ASSERT_TRUE(world.refresh());
    EXPECT_TRUE(world.isProcessing(app));
    EXPECT_FALSE(world.isProcessing(web));
    EXPECT_EQ(clocked.model->processingProjectCount(), 1);

    // No file changes when a process dies: the coordinator looks again by itself.
    world.codex.killCodex(chat);
    clocked.clock.advance(ProjectListViewModel::processingRecheckInterval);
    EXPECT_TRUE(clocked.settle([&] { return !world.isProcessing(app); }));
    EXPECT_EQ(clocked.model->processingProjectCount(), 0);
}

TEST(ProjectListStaysTrue, tokenFiguresMoveWithTheClockWithoutAnotherRefresh)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    // Its one token count was written 27.5 seconds before the thread's update, 60 s ago.
    world.addThread(chat, app, 60, FakeTurnEnd::completed, 1200);
    world.writeDatabase();
    ClockedWorld clocked(world);
    ASSERT_TRUE(world.refresh());
    ASSERT_TRUE(waitUntil([&] { return clocked.model->globalTokenUsage().lastHourTokens > 0; }));
    const int refreshes = world.fullRefreshCount();
    EXPECT_EQ(clocked.model->globalTokenUsage().lastHourTokens, 1200);

    clocked.clock.advance(3400s);
    EXPECT_EQ(clocked.model->globalTokenUsage().lastHourTokens, 1200) << "still within the hour";
    clocked.clock.advance(200s); // an hour after the event has passed
    EXPECT_TRUE(
        clocked.settle([&] { return clocked.model->globalTokenUsage().lastHourTokens == 0; }));
    EXPECT_EQ(clocked.model->globalTokenUsage().lifetimeTokens, 1200);

    // A day and more later "Today" is empty too, the last seven days still hold the event.
    clocked.clock.advance(25h);
    EXPECT_TRUE(
        clocked.settle([&] { return clocked.model->globalTokenUsage().todayTokens == 0; }));
    EXPECT_EQ(clocked.model->globalTokenUsage().lastSevenDaysTokens, 1200);
    EXPECT_EQ(world.fullRefreshCount(), refreshes) << "the clock alone moved the figures";
}

// Holds an exclusive lock on Codex's database, as a writer that keeps it does.
class DatabaseLock
{
public:
    explicit DatabaseLock(const QString &path)
    {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE,
                        nullptr);
        sqlite3_exec(m_db, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr,
                     nullptr, nullptr);
        // A write takes the lock on the file itself, so that no reader gets in.
        sqlite3_exec(m_db, "CREATE TABLE held (x)", nullptr, nullptr, nullptr);
    }
    ~DatabaseLock() { release(); }
    void release()
    {
        if (!m_db)
            return;
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(m_db);
        m_db = nullptr;
    }

private:
    sqlite3 *m_db = nullptr;
};

TEST(ProjectListStaysTrue, aDatabaseReadableAgainClearsTheFallbackMessage)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    world.addThread(chat, app, 60);
    world.writeDatabase();
    ProjectListViewModel &model = world.makeModel();
    ASSERT_TRUE(world.refresh()); // the catalog now knows the project

    DatabaseLock lock(world.codex.databasePath());
    ASSERT_TRUE(world.refresh());
    ASSERT_EQ(model.statusMessage(), ProjectListViewModel::codexUnavailableMessage);
    ASSERT_TRUE(world.projectAt(app));

    lock.release();
    ASSERT_TRUE(world.refresh());
    EXPECT_EQ(model.statusMessage(), std::nullopt);

    // A message said since is not the failure's: a later refresh leaves it.
    model.setStatusMessage(QStringLiteral("Opened app's chat in Codex."));
    ASSERT_TRUE(world.refresh());
    EXPECT_EQ(model.statusMessage(), QStringLiteral("Opened app's chat in Codex."));
}

TEST(ProjectListStaysTrue, projectsCarryTheNamesCodexKeepsInItsDatabase)
{
    struct Row
    {
        const char *name;
        bool projectTables;
        std::optional<QString> globalStateName;
        QString expected;
    };
    const Row rows[] = {
        {"Codex's own name", true, std::nullopt, "Billing API"},
        {"the global state's name wins", true, QStringLiteral("Billing (renamed)"),
         "Billing (renamed)"},
        {"an older database without project tables", false, std::nullopt, "billing"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        CoordinatorWorld world;
        const QString billing = world.projectFolder(QStringLiteral("billing"));
        FakeCodexThread thread = CoordinatorWorld::threadFor(chat, billing, 60);
        if (row.projectTables)
            thread.projectID = QStringLiteral("p-billing");
        world.addThread(thread);
        world.codex.addDatabaseProject({"p-billing", "Billing API", {billing}});
        FakeCodexDatabaseOptions options;
        options.projectTables = row.projectTables;
        world.codex.writeDatabase(options);
        if (row.globalStateName) {
            world.codex.writeGlobalState(FakeCodexHome::globalStateObject(
                {}, {}, {{"p-billing", {billing}, *row.globalStateName}}));
        }
        world.makeModel();
        ASSERT_TRUE(world.refresh());
        ASSERT_TRUE(world.projectAt(billing));
        EXPECT_EQ(world.projectAt(billing)->name(), row.expected);
    }
}

TEST(ProjectListStaysTrue, theCatalogFallbacksTotalsKeepTheirOrder)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    world.addThread(chat, app, 60, FakeTurnEnd::completed, 100);
    // Archived today: its tokens count in today's figures, and so in the lifetime.
    FakeCodexThread archived = CoordinatorWorld::threadFor(other, app, 120);
    archived.archived = true;
    archived.tokensUsed = 5000;
    rollout::TokenCount count;
    count.last.input = count.total.input = 5000;
    world.codex.addThread(archived);
    world.codex.writeRollout(other, FakeCodexHome::threadOpening(archived.createdAt, other, app)
                                        + FakeCodexHome::turn(archived.createdAt, "Go",
                                                              FakeTurnEnd::completed, count));
    world.writeDatabase();
    ProjectListViewModel &model = world.makeModel();
    ASSERT_TRUE(world.refresh());
    ASSERT_TRUE(waitUntil([&] { return model.globalTokenUsage().todayTokens == 5100; }));

    DatabaseLock lock(world.codex.databasePath());
    // Counted from before the refresh: the token pass that follows the fallback may already
    // be delivered while the refresh is awaited.
    int tokenPasses = 0;
    QObject::connect(&model, &ProjectListViewModel::tokenUsageChanged, &model,
                     [&] { ++tokenPasses; });
    ASSERT_TRUE(world.refresh());
    ASSERT_EQ(model.statusMessage(), ProjectListViewModel::codexUnavailableMessage);
    ASSERT_TRUE(waitUntil([&] { return tokenPasses > 0; }));
    const TokenUsageReport totals = model.globalTokenUsage();
    EXPECT_EQ(totals.todayTokens, 5100);
    EXPECT_GE(totals.lifetimeTokens, totals.lastSevenDaysTokens);
    EXPECT_GE(totals.lastSevenDaysTokens, totals.todayTokens);
    EXPECT_GE(totals.todayTokens, totals.lastHourTokens);
}

} // namespace
