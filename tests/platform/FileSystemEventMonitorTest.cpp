#include "platform/file_events/FileSystemEventMonitor.h"
#include "platform/file_events/FileSystemWatchSession.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>

#include <ostream>

// Readable failure messages for QString and QStringList values.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

using namespace tolvaran;
namespace Flag = FileSystemEventFlag;

namespace tolvaran {

class FileSystemEventMonitorTesting
{
public:
    // Behaves as if the kernel's event queue of the current watch had overflowed.
    static void injectQueueOverflow(FileSystemEventMonitor &monitor)
    {
        std::lock_guard lock(monitor.m_mutex);
        if (monitor.m_session)
            monitor.m_session->injectQueueOverflow();
    }

    // Caps the watches of the next start below the process budget.
    static void setWatchLimit(FileSystemEventMonitor &monitor, int watches)
    {
        monitor.m_watchLimit = watches;
    }
};

} // namespace tolvaran

namespace {

constexpr double testLatency = 0.05;
// Generous: the machine may be loaded, and nothing here asserts speed.
constexpr auto eventDeadline = std::chrono::seconds(30);
constexpr auto probeInterval = std::chrono::milliseconds(250);

// Collects every batch a monitor delivers and checks what must hold for any batch: it is not
// empty, names each path once, and its ids ascend within it and after the batch before.
class EventRecorder final
{
public:
    FileSystemEventMonitor::Handler handler()
    {
        return [this](const QList<FileSystemEvent> &batch) { record(batch); };
    }

    void record(const QList<FileSystemEvent> &batch)
    {
        std::lock_guard lock(m_mutex);
        if (batch.isEmpty())
            m_faults.append(QStringLiteral("empty batch"));
        QSet<QString> paths;
        for (const FileSystemEvent &event : batch) {
            if (event.id <= m_lastId)
                m_faults.append(QStringLiteral("id does not ascend at ") + event.path);
            if (paths.contains(event.path))
                m_faults.append(QStringLiteral("path twice in a batch: ") + event.path);
            paths.insert(event.path);
            m_lastId = event.id;
            m_events.append(event);
        }
        m_changed.notify_all();
    }

    // The first event recorded so far, or arriving before the deadline, that satisfies `test`.
    std::optional<FileSystemEvent>
    waitFor(const std::function<bool(const FileSystemEvent &)> &test,
            std::chrono::milliseconds deadline = eventDeadline)
    {
        std::unique_lock lock(m_mutex);
        std::optional<FileSystemEvent> found;
        m_changed.wait_for(lock, deadline, [&] {
            const auto it = std::find_if(m_events.cbegin(), m_events.cend(), test);
            if (it != m_events.cend())
                found = *it;
            return found.has_value();
        });
        return found;
    }

    std::optional<FileSystemEvent> waitForPath(const QString &path, quint32 flags = 0)
    {
        return waitFor([&](const FileSystemEvent &event) {
            return event.path == path && (event.flags & flags) == flags;
        });
    }

    // Waits until each of `paths` has had an event with `flags`; returns those that did not.
    QStringList waitForAll(const QStringList &paths, quint32 flags)
    {
        std::unique_lock lock(m_mutex);
        QStringList missing;
        m_changed.wait_for(lock, eventDeadline, [&] {
            QSet<QString> seen;
            for (const FileSystemEvent &event : m_events) {
                if ((event.flags & flags) == flags)
                    seen.insert(event.path);
            }
            missing.clear();
            for (const QString &path : paths) {
                if (!seen.contains(path))
                    missing.append(path);
            }
            return missing.isEmpty();
        });
        return missing;
    }

    QList<FileSystemEvent> events() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }

    QStringList faults() const
    {
        std::lock_guard lock(m_mutex);
        return m_faults;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QList<FileSystemEvent> m_events;
    QStringList m_faults;
    quint64 m_lastId = 0;
};

void writeFile(const QString &path, const QByteArray &contents = "x")
{
    QDir().mkpath(path.left(path.lastIndexOf(QLatin1Char('/'))));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Append));
    ASSERT_EQ(file.write(contents), contents.size());
}

// The monitor sets its watches up on its own thread after start() returns: write a probe file
// into `folder` until its event arrives.
bool waitUntilWatching(EventRecorder &recorder, const QString &folder)
{
    static std::atomic<int> probes = 0;
    const auto end = std::chrono::steady_clock::now() + eventDeadline;
    while (std::chrono::steady_clock::now() < end) {
        const QString probe = folder + QStringLiteral("/probe-%1").arg(++probes);
        writeFile(probe);
        if (recorder.waitFor([&](const FileSystemEvent &e) { return e.path == probe; },
                             probeInterval))
            return true;
    }
    return false;
}

bool hasEventFor(const QList<FileSystemEvent> &events, const QString &path)
{
    return std::any_of(events.cbegin(), events.cend(),
                       [&](const FileSystemEvent &event) { return event.path == path; });
}

QStringList rescanPaths(const QList<FileSystemEvent> &events)
{
    QStringList paths;
    for (const FileSystemEvent &event : events) {
        if (event.flags & Flag::rescanRequired)
            paths.append(event.path);
    }
    return paths;
}

class FileSystemEventMonitorTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        monitor.reset();
        EXPECT_EQ(recorder.faults(), QStringList());
    }

    void startOn(const QStringList &paths, quint64 since = FileSystemEventMonitor::sinceNow)
    {
        monitor->start(paths, since, testLatency);
    }

    fixtures::TemporaryHome home;
    EventRecorder recorder;
    std::unique_ptr<FileSystemEventMonitor> monitor = std::make_unique<FileSystemEventMonitor>(
        QStringLiteral("com.ostvik.tolvaran.test-events"), recorder.handler());
};

} // namespace

TEST_F(FileSystemEventMonitorTest, fileInANewNestedFolderIsReportedAndStaysWatched)
{
    startOn({home.path()});
    ASSERT_TRUE(waitUntilWatching(recorder, home.path()));

    const QString file = home.filePath(QStringLiteral("a/b/c/notes.md"));
    writeFile(file);
    const auto created = recorder.waitForPath(file);
    ASSERT_TRUE(created);
    EXPECT_TRUE(created->flags & Flag::itemIsFile);
    EXPECT_TRUE(recorder.waitForPath(home.filePath(QStringLiteral("a/b")), Flag::itemIsDir));

    // A later change is seen through the new folder's own watch, not only by its first scan.
    const QString later = home.filePath(QStringLiteral("a/b/c/later.md"));
    writeFile(later);
    EXPECT_TRUE(recorder.waitForPath(later, Flag::itemCreated | Flag::itemIsFile));
}

TEST_F(FileSystemEventMonitorTest, foldersMovedInOutAndWithinTheTreeKeepTheirPathsTrue)
{
    const QString outside = home.filePath(QStringLiteral("outside"));
    const QString watched = home.filePath(QStringLiteral("watched"));
    writeFile(outside + QStringLiteral("/incoming/deep/already-there.txt"));
    writeFile(watched + QStringLiteral("/old/sub/file.txt"));
    writeFile(watched + QStringLiteral("/leaving/sub/file.txt"));
    startOn({watched});
    ASSERT_TRUE(waitUntilWatching(recorder, watched));

    // Moved in: its contents are reported and its folders watched.
    ASSERT_TRUE(QDir().rename(outside + QStringLiteral("/incoming"),
                              watched + QStringLiteral("/incoming")));
    const QString alreadyThere = watched + QStringLiteral("/incoming/deep/already-there.txt");
    EXPECT_TRUE(recorder.waitForPath(alreadyThere));
    writeFile(watched + QStringLiteral("/incoming/deep/new.txt"));
    EXPECT_TRUE(recorder.waitForPath(watched + QStringLiteral("/incoming/deep/new.txt")));

    // Renamed within: later changes carry the new path.
    ASSERT_TRUE(QDir().rename(watched + QStringLiteral("/old"), watched + QStringLiteral("/new")));
    EXPECT_TRUE(recorder.waitForPath(watched + QStringLiteral("/old"), Flag::itemRenamed));
    EXPECT_TRUE(recorder.waitForPath(watched + QStringLiteral("/new"), Flag::itemRenamed));
    writeFile(watched + QStringLiteral("/new/sub/after.txt"));
    EXPECT_TRUE(recorder.waitForPath(watched + QStringLiteral("/new/sub/after.txt")));

    // Moved out: changes there are no longer reported under its old path.
    ASSERT_TRUE(QDir().rename(watched + QStringLiteral("/leaving"),
                              outside + QStringLiteral("/left")));
    writeFile(outside + QStringLiteral("/left/sub/after.txt"));
    writeFile(watched + QStringLiteral("/marker.txt"));
    ASSERT_TRUE(recorder.waitForPath(watched + QStringLiteral("/marker.txt")));

    const QList<FileSystemEvent> events = recorder.events();
    EXPECT_FALSE(hasEventFor(events, watched + QStringLiteral("/old/sub/after.txt")));
    EXPECT_FALSE(hasEventFor(events, watched + QStringLiteral("/leaving/sub/after.txt")));
    EXPECT_FALSE(hasEventFor(events, outside + QStringLiteral("/left/sub/after.txt")));
}

TEST_F(FileSystemEventMonitorTest, dependencyBuildAndGitInternalFoldersAreNotDescendedInto)
{
    const QStringList skipped{
        QStringLiteral("node_modules/pkg/index.js"), QStringLiteral("target/debug/app"),
        QStringLiteral("build/out.o"),               QStringLiteral(".git/objects/ab/cdef"),
        QStringLiteral("src/node_modules/x.js"),
    };
    const QStringList watched{
        QStringLiteral("src/main.cpp"),
        QStringLiteral(".git/HEAD"),
        QStringLiteral(".git/refs/heads/main"),
    };
    for (const QString &relative : skipped + watched)
        writeFile(home.filePath(relative));
    startOn({home.path()});
    ASSERT_TRUE(waitUntilWatching(recorder, home.path()));

    // A skipped folder made after the start is not descended into either.
    writeFile(home.filePath(QStringLiteral("src/deeper/build/late.o")));
    for (const QString &relative : skipped)
        writeFile(home.filePath(relative), "changed");
    // Events arrive in the order of the changes: once the later ones are in, an event for an
    // earlier change would be too.
    for (const QString &relative : watched) {
        writeFile(home.filePath(relative), "changed");
        EXPECT_TRUE(recorder.waitForPath(home.filePath(relative), Flag::itemModified))
            << relative.toStdString();
    }

    const QList<FileSystemEvent> events = recorder.events();
    EXPECT_TRUE(hasEventFor(events, home.filePath(QStringLiteral("src/deeper/build"))));
    const QStringList unseen = skipped + QStringList{QStringLiteral("src/deeper/build/late.o")};
    for (const QString &relative : unseen)
        EXPECT_FALSE(hasEventFor(events, home.filePath(relative))) << relative.toStdString();
}

TEST_F(FileSystemEventMonitorTest, queueOverflowAsksForARescanOfEveryRoot)
{
    const QString first = home.filePath(QStringLiteral("first"));
    const QString second = home.filePath(QStringLiteral("second"));
    QDir().mkpath(first);
    QDir().mkpath(second);
    startOn({second, first});
    ASSERT_TRUE(waitUntilWatching(recorder, first));

    FileSystemEventMonitorTesting::injectQueueOverflow(*monitor);
    for (const QString &root : {first, second}) {
        EXPECT_TRUE(recorder.waitForPath(root, Flag::mustScanSubDirs | Flag::kernelDropped))
            << root.toStdString();
    }
    // Watching goes on after the rescan request, new folders included.
    const QString file = second + QStringLiteral("/after/overflow.txt");
    writeFile(file);
    EXPECT_TRUE(recorder.waitForPath(file));
}

TEST_F(FileSystemEventMonitorTest, startSinceAStoredIdReportsOneRescanPerRootAndContinuesAbove)
{
    struct Case
    {
        const char *name;
        quint64 since;
        bool expectsRescan;
        quint32 extraFlags;
    };
    const quint64 stored = (quint64(1) << 52) + 12345; // above any id of this process
    const Case cases[] = {
        {"from now", FileSystemEventMonitor::sinceNow, false, 0},
        {"stored id", stored, true, 0},
        {"id beyond the range", (quint64(1) << 60), true, Flag::eventIdsWrapped},
    };
    const QString first = home.filePath(QStringLiteral("first"));
    const QString second = home.filePath(QStringLiteral("second"));
    QDir().mkpath(first);
    QDir().mkpath(second);

    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        EventRecorder events;
        FileSystemEventMonitor replaying(QStringLiteral("com.ostvik.tolvaran.test-replay"),
                                         events.handler());
        replaying.start({first, QString(), second, first + QStringLiteral("/")}, row.since,
                        testLatency);
        // Rescan requests come once the watches are set up, before any probe's event.
        ASSERT_TRUE(waitUntilWatching(events, first));
        const QList<FileSystemEvent> seen = events.events();
        if (!row.expectsRescan) {
            EXPECT_EQ(rescanPaths(seen), QStringList());
            continue;
        }
        EXPECT_EQ(rescanPaths(seen), (QStringList{first, second}));
        for (const FileSystemEvent &event : seen) {
            if (event.flags & Flag::rescanRequired) {
                EXPECT_EQ(event.flags, Flag::mustScanSubDirs | row.extraFlags);
            }
            if (!(row.extraFlags & Flag::eventIdsWrapped)) {
                EXPECT_GT(event.id, row.since);
            }
            EXPECT_LT(event.id, quint64(1) << 53);
        }
        replaying.stop();
        EXPECT_EQ(events.faults(), QStringList());
    }
}

TEST_F(FileSystemEventMonitorTest, stoppingFromInsideTheHandlerReturns)
{
    std::atomic<int> stops = 0;
    const auto waitForStops = [&](int count) {
        return fixtures::waitUntil([&] { return stops >= count; }, eventDeadline);
    };
    std::unique_ptr<FileSystemEventMonitor> stopping;
    stopping = std::make_unique<FileSystemEventMonitor>(
        QStringLiteral("com.ostvik.tolvaran.test-stop"),
        [&](const QList<FileSystemEvent> &batch) {
            recorder.record(batch);
            stopping->stop();
            ++stops;
        });
    stopping->start({home.path()}, FileSystemEventMonitor::sinceNow, testLatency);
    ASSERT_TRUE(waitUntilWatching(recorder, home.path()));
    EXPECT_TRUE(waitForStops(1));

    // The monitor can be started again afterwards.
    stopping->start({home.path()}, FileSystemEventMonitor::sinceNow, testLatency);
    ASSERT_TRUE(waitUntilWatching(recorder, home.path()));
    EXPECT_TRUE(waitForStops(2));
    stopping.reset();
}

TEST_F(FileSystemEventMonitorTest, aSecondStartReplacesTheFirstWatch)
{
    const QString first = home.filePath(QStringLiteral("first"));
    const QString second = home.filePath(QStringLiteral("second"));
    QDir().mkpath(first);
    QDir().mkpath(second);
    startOn({first});
    ASSERT_TRUE(waitUntilWatching(recorder, first));
    startOn({second});
    ASSERT_TRUE(waitUntilWatching(recorder, second));

    writeFile(first + QStringLiteral("/unwatched.txt"));
    writeFile(second + QStringLiteral("/watched.txt"));
    ASSERT_TRUE(recorder.waitForPath(second + QStringLiteral("/watched.txt")));
    EXPECT_FALSE(hasEventFor(recorder.events(), first + QStringLiteral("/unwatched.txt")));
}

TEST_F(FileSystemEventMonitorTest, aTreeBeyondTheWatchLimitAsksForARescanOfItsRoot)
{
    for (const char *folder : {"a/b/c", "d/e", "f"})
        QDir().mkpath(home.filePath(QString::fromLatin1(folder)));
    FileSystemEventMonitorTesting::setWatchLimit(*monitor, 3);
    startOn({home.path()}, FileSystemEventMonitor::sinceNow);
    const auto rescan =
        recorder.waitForPath(home.path(), Flag::mustScanSubDirs | Flag::userDropped);
    EXPECT_TRUE(rescan);
}

TEST_F(FileSystemEventMonitorTest, aRootIsWatchedOnceItAppearsAndReportedWhenItGoes)
{
    const QString present = home.filePath(QStringLiteral("present"));
    const QString missing = home.filePath(QStringLiteral("later/.codex"));
    QDir().mkpath(present);
    startOn({present, missing});
    ASSERT_TRUE(waitUntilWatching(recorder, present));

    // Made with a file already inside, as a program creating its folder would.
    const QString staging = home.filePath(QStringLiteral("staging"));
    writeFile(staging + QStringLiteral("/state.sqlite"));
    QDir().mkpath(home.filePath(QStringLiteral("later")));
    ASSERT_TRUE(QDir().rename(staging, missing));
    EXPECT_TRUE(recorder.waitForPath(missing, Flag::rootChanged));
    EXPECT_TRUE(
        recorder.waitForPath(missing + QStringLiteral("/state.sqlite"), Flag::itemCreated));
    writeFile(missing + QStringLiteral("/sessions/rollout.jsonl"));
    EXPECT_TRUE(recorder.waitForPath(missing + QStringLiteral("/sessions/rollout.jsonl")));

    const quint64 lastIdBefore = recorder.events().constLast().id;
    ASSERT_TRUE(QDir(home.filePath(QStringLiteral("later"))).removeRecursively());
    EXPECT_TRUE(recorder.waitFor([&](const FileSystemEvent &event) {
        return event.path == missing && (event.flags & Flag::rootChanged)
            && event.id > lastIdBefore;
    }));
}

TEST_F(FileSystemEventMonitorTest, afterManyFolderChangesEveryFolderIsWatchedUnderItsTruePath)
{
    const QString root = home.filePath(QStringLiteral("tree"));
    const QString outside = home.filePath(QStringLiteral("outside"));
    QDir().mkpath(root + QStringLiteral("/start"));
    QDir().mkpath(outside);
    startOn({root});
    ASSERT_TRUE(waitUntilWatching(recorder, root));

    // Folders made, nested, renamed, moved out and back in, and removed, in a fixed order.
    QRandomGenerator random(112);
    QStringList folders{root + QStringLiteral("/start")};
    for (int step = 0; step < 300; ++step) {
        const QString folder = folders.at(random.bounded(int(folders.size())));
        const QString name = QStringLiteral("f%1").arg(step);
        switch (random.bounded(5)) {
        case 0:
            QDir().mkpath(folder + QLatin1Char('/') + name + QStringLiteral("/inner"));
            break;
        case 1: {
            // A folder made, then its parent renamed before the monitor has read of either.
            QDir().mkpath(folder + QLatin1Char('/') + name + QStringLiteral("/inner"));
            const QString parent = folder.left(folder.lastIndexOf(QLatin1Char('/')));
            if (folder != root + QStringLiteral("/start"))
                QDir().rename(folder, parent + QLatin1Char('/') + name + QStringLiteral("r"));
            break;
        }
        case 2: {
            const QString parent = folder.left(folder.lastIndexOf(QLatin1Char('/')));
            if (folder != root + QStringLiteral("/start"))
                QDir().rename(folder, parent + QLatin1Char('/') + name);
            break;
        }
        case 3:
            if (folder != root + QStringLiteral("/start")
                && QDir().rename(folder, outside + QLatin1Char('/') + name)) {
                QDir().mkpath(outside + QLatin1Char('/') + name + QStringLiteral("/made-outside"));
                QDir().rename(outside + QLatin1Char('/') + name,
                              root + QStringLiteral("/start/") + name);
            }
            break;
        default:
            if (folder != root + QStringLiteral("/start"))
                QDir(folder).removeRecursively();
            break;
        }
        folders = {root + QStringLiteral("/start")};
        QDirIterator it(root + QStringLiteral("/start"), QDir::Dirs | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            folders.append(it.next());
    }

    QStringList markers;
    for (const QString &folder : folders) {
        markers.append(folder + QStringLiteral("/marker.txt"));
        writeFile(markers.constLast());
    }
    EXPECT_EQ(recorder.waitForAll(markers, Flag::itemCreated), QStringList());
}
