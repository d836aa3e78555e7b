// Which of Codex's file changes ask for which refresh, fed to the monitor as batches of
// events (the file-system monitor's own delivery is tested in the platform's tests).
#include "CoordinatorDouble.h"

#include "coordinator/CodexChangeMonitor.h"
#include "platform/file_events/FileSystemEvent.h"

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using namespace std::chrono_literals;

namespace tolvaran {

// Hands the monitor batches as its file-system monitor would.
class CodexChangeMonitorTesting
{
public:
    static void handleEvents(CodexChangeMonitor &monitor, const QList<FileSystemEvent> &events)
    {
        monitor.handleEvents(events);
    }
};

} // namespace tolvaran

namespace {

const QString codexFolder = QStringLiteral("/home/u/.codex");
const QString activeRollout = QStringLiteral("/home/u/.codex/sessions/active.jsonl");
const QString idleRollout = QStringLiteral("/home/u/.codex/sessions/idle.jsonl");

CodexThread thread(const QString &id, const QString &rolloutPath, double ageSeconds)
{
    CodexThread result;
    result.id = id;
    result.cwd = QStringLiteral("/p/app");
    result.rolloutPath = rolloutPath;
    result.updatedAt = Timestamp::now().addingSeconds(-ageSeconds);
    return result;
}

FileSystemEvent written(const QString &path,
                        quint32 flags = FileSystemEventFlag::itemModified
                            | FileSystemEventFlag::itemIsFile)
{
    FileSystemEvent event;
    event.path = path;
    event.flags = flags;
    return event;
}

class CodexChangeMonitorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // One thread active a minute ago, one idle for two days.
        const QList<CodexProject> projects{CodexProject(
            QStringLiteral("/p/app"),
            {thread(QStringLiteral("a"), activeRollout, 60),
             thread(QStringLiteral("b"), idleRollout, 2 * 86400.0)},
            false, {}, {})};
        monitor.watchRolloutsOf(projects, Timestamp::now().addingSeconds(-86400.0));
        QObject::connect(&monitor, &CodexChangeMonitor::fullRefreshRequested,
                         [this] { ++fullRefreshes; });
        QObject::connect(&monitor, &CodexChangeMonitor::processingRefreshRequested,
                         [this] { ++processingRefreshes; });
    }

    void handleEvents(const QList<FileSystemEvent> &events)
    {
        CodexChangeMonitorTesting::handleEvents(monitor, events);
    }

    // Lets the debounce run out.
    void settle() { clock.advance(CodexChangeMonitor::debounce); }

    FakeClock clock;
    CodexChangeMonitor monitor{nullptr, clock.clock()};
    int fullRefreshes = 0;
    int processingRefreshes = 0;
};

} // namespace

TEST_F(CodexChangeMonitorTest, aDatabaseWriteThenARolloutWriteGiveOneFullRefresh)
{
    handleEvents({written(codexFolder + QStringLiteral("/state_5.sqlite-wal"))});
    clock.advance(CodexChangeMonitor::debounce / 2);
    handleEvents({written(activeRollout)});
    settle();
    EXPECT_EQ(fullRefreshes, 1);
    EXPECT_EQ(processingRefreshes, 0) << "the full refresh reads the processing state too";
}

TEST_F(CodexChangeMonitorTest, eachFileAsksForItsOwnRefreshOrNone)
{
    struct Row
    {
        const char *name;
        FileSystemEvent event;
        int full;
        int processing;
    };
    const Row rows[] = {
        {"the database", written(codexFolder + QStringLiteral("/state_5.sqlite")), 1, 0},
        {"its index", written(codexFolder + QStringLiteral("/state_5.sqlite-shm")), 1, 0},
        {"the global state", written(codexFolder + QStringLiteral("/.codex-global-state.json")),
         1, 0},
        {"events were lost", written(codexFolder, FileSystemEventFlag::mustScanSubDirs),
         1, 0},
        {"an active thread's rollout", written(activeRollout), 0, 1},
        {"the rollout of a thread idle for two days", written(idleRollout), 0, 0},
        {"another file", written(codexFolder + QStringLiteral("/config.toml")), 0, 0},
        {"another database", written(codexFolder + QStringLiteral("/state_4.sqlite")), 0, 0},
        {"the database's owner alone",
         written(codexFolder + QStringLiteral("/state_5.sqlite-wal"),
                 FileSystemEventFlag::itemInodeMetaMod | FileSystemEventFlag::itemIsFile),
         0, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        fullRefreshes = 0;
        processingRefreshes = 0;
        handleEvents({row.event});
        settle();
        EXPECT_EQ(fullRefreshes, row.full);
        EXPECT_EQ(processingRefreshes, row.processing);
    }
}

TEST_F(CodexChangeMonitorTest, everyChangedFileIsNamedAtOnceAndLostEventsAreSaid)
{
    QList<QStringList> named;
    int missed = 0;
    QObject::connect(&monitor, &CodexChangeMonitor::filesChanged,
                     [&](const QStringList &paths) { named.append(paths); });
    QObject::connect(&monitor, &CodexChangeMonitor::changesMissed, [&] { ++missed; });

    // An idle thread's rollout asks for no refresh, but the token index wants to know.
    handleEvents({written(idleRollout),
                          written(activeRollout, FileSystemEventFlag::itemInodeMetaMod)});
    ASSERT_EQ(named.size(), 1) << "named before any debounce";
    EXPECT_EQ(named.first(), QStringList{idleRollout}) << "an attribute change is none";
    EXPECT_EQ(missed, 0);

    FileSystemEvent lost;
    lost.path = codexFolder;
    lost.flags = FileSystemEventFlag::mustScanSubDirs | FileSystemEventFlag::kernelDropped;
    handleEvents({lost});
    EXPECT_EQ(missed, 1);
    EXPECT_EQ(named.size(), 1);
}
