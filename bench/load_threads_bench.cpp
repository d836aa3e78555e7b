// Times CodexStore::loadThreads over a large fake Codex home (10,000 threads, 2,000 rollout
// files) beside the sqlite3 command-line tool reading the same rows, first with every row in
// the write-ahead log (as Codex often leaves its database), then after a checkpoint.
#include "data/codex/CodexStore.h"
#include "platform/storage/SqliteDatabase.h"
#include "support/BenchFigures.h"
#include "support/codex/FakeCodexHome.h"
#include "support/TemporaryHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace tolvaran::fixtures::bench;

namespace {

constexpr int threadCount = 10000;
constexpr int rolloutCount = 2000;
constexpr int runs = 5;


void report(const char *state, CodexStore &store, const QString &databasePath)
{
    qsizetype rows = 0;
    const double warm = median(runs, [&] {
        return milliseconds([&] { rows = store.loadThreads(true).size(); });
    });
    const double tool = median(runs, [&] { return sqliteToolMilliseconds(databasePath); });
    std::printf("%-28s loadThreads %8.1f ms (%lld rows)   sqlite3 tool %8.1f ms\n", state, warm,
                static_cast<long long>(rows), tool);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    TemporaryHome home;
    FakeCodexHome codex(home.filePath(QStringLiteral(".codex")));

    FakeCodexGeneration generation;
    generation.threadCount = threadCount;
    generation.rolloutCount = rolloutCount;
    const double built = milliseconds([&] {
        codex.generate(generation);
        codex.writeDatabase({{}, FakeCodexLogState::rowsOnlyInLog});
    });
    std::printf("Built a fake Codex home of %d threads and %d rollout files in %.1f ms\n",
                threadCount, rolloutCount, built);

    CodexStore store(codex.databasePath(), codex.sessionIndexPath());
    qsizetype rows = 0;
    const double cold = milliseconds([&] { rows = store.loadThreads(true).size(); });
    std::printf("%-28s loadThreads %8.1f ms (%lld rows; reads every rollout's tail)\n",
                "first load", cold, static_cast<long long>(rows));
    report("rows only in the log", store, codex.databasePath());

    {
        SqliteDatabase database(codex.databasePath(), SQLITE_OPEN_READWRITE);
        database.execute(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    report("after a checkpoint", store, codex.databasePath());
    return 0;
}
