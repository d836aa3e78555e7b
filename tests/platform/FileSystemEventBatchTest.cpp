#include "platform/file_events/FileSystemEventBatch.h"

#include <gtest/gtest.h>

using namespace tolvaran;
using Internal::FileSystemEventBatch;
namespace Flag = FileSystemEventFlag;

namespace {

using namespace std::chrono_literals;

const QStringList roots{QStringLiteral("/r/one"), QStringLiteral("/r/two")};

QStringList pathsOf(const QList<FileSystemEvent> &events)
{
    QStringList paths;
    for (const FileSystemEvent &event : events)
        paths.append(event.path);
    return paths;
}

} // namespace

TEST(FileSystemEventBatch, aPathChangedAgainMovesToTheEndWithTheUnionOfItsFlags)
{
    FileSystemEventBatch batch(roots, 0ms);
    batch.add(QStringLiteral("/r/one/a"), Flag::itemCreated | Flag::itemIsFile);
    batch.add(QStringLiteral("/r/one/b"), Flag::itemCreated | Flag::itemIsDir);
    batch.add(QStringLiteral("/r/one/a"), Flag::itemModified | Flag::itemIsFile);

    const QList<FileSystemEvent> events = batch.take();
    ASSERT_EQ(pathsOf(events), QStringList({"/r/one/b", "/r/one/a"}));
    EXPECT_EQ(events[1].flags, Flag::itemCreated | Flag::itemModified | Flag::itemIsFile);
    EXPECT_LT(events[0].id, events[1].id);
    EXPECT_TRUE(batch.take().isEmpty());
}

TEST(FileSystemEventBatch, manyMergesKeepEveryPathOnceInIdOrder)
{
    // Enough merges that the list of waiting events is compacted on the way.
    FileSystemEventBatch batch(roots, 0ms);
    for (int round = 0; round < 3; ++round) {
        for (int file = 0; file < 5000; ++file)
            batch.add(QStringLiteral("/r/one/%1").arg(file), Flag::itemModified);
    }
    const QList<FileSystemEvent> events = batch.take();
    ASSERT_EQ(events.size(), 5000);
    for (qsizetype index = 0; index < events.size(); ++index) {
        EXPECT_EQ(events[index].path, QStringLiteral("/r/one/%1").arg(index));
        if (index > 0) {
            EXPECT_LT(events[index - 1].id, events[index].id);
        }
    }
}

TEST(FileSystemEventBatch, tooManyPathsBecomeOneRescanPerRootUntilTheBatchIsTaken)
{
    FileSystemEventBatch batch(roots, 0ms);
    for (size_t file = 0; file <= FileSystemEventBatch::maximumPendingEvents; ++file)
        batch.add(QStringLiteral("/r/one/%1").arg(file), Flag::itemCreated);
    batch.add(QStringLiteral("/r/two/late"), Flag::itemCreated); // dropped: a rescan covers it

    const QList<FileSystemEvent> events = batch.take();
    ASSERT_EQ(pathsOf(events), roots);
    for (const FileSystemEvent &event : events)
        EXPECT_EQ(event.flags, Flag::mustScanSubDirs | Flag::userDropped);

    batch.add(QStringLiteral("/r/two/after"), Flag::itemCreated);
    EXPECT_EQ(pathsOf(batch.take()), QStringList({"/r/two/after"}));
}

TEST(FileSystemEventBatch, theFirstChangeIsDueAtOnceAndTheNextWaitsForTheLatency)
{
    FileSystemEventBatch batch(roots, 1s);
    EXPECT_FALSE(batch.deadline().has_value());

    batch.add(QStringLiteral("/r/one/a"), Flag::itemCreated);
    ASSERT_TRUE(batch.deadline().has_value());
    EXPECT_LE(*batch.deadline(), std::chrono::steady_clock::now());

    const auto beforeDelivery = std::chrono::steady_clock::now();
    batch.take();
    EXPECT_FALSE(batch.deadline().has_value());
    batch.add(QStringLiteral("/r/one/b"), Flag::itemCreated);
    ASSERT_TRUE(batch.deadline().has_value());
    EXPECT_GE(*batch.deadline(), beforeDelivery + 1s);
}

TEST(FileSystemEventBatch, idsContinueAboveAStoredIdWithinTheirRange)
{
    FileSystemEventBatch batch(roots, 0ms);
    batch.add(QStringLiteral("/r/one/a"), Flag::itemCreated);
    const quint64 stored = batch.take().first().id + 1'000'000;

    EXPECT_TRUE(FileSystemEventBatch::continueEventIdsAfter(stored));
    batch.add(QStringLiteral("/r/one/b"), Flag::itemCreated);
    EXPECT_GT(batch.take().first().id, stored);

    // Beyond what a JSON number carries exactly: the caller must be told, ids stay as they are.
    EXPECT_FALSE(FileSystemEventBatch::continueEventIdsAfter(quint64(1) << 53));
    batch.add(QStringLiteral("/r/one/c"), Flag::itemCreated);
    EXPECT_LT(batch.take().first().id, quint64(1) << 53);
}
