#include "platform/ApplicationSupport.h"
#include "platform/storage/AtomicFileWriter.h"
#include "platform/Graphemes.h"
#include "platform/storage/KeyValueStore.h"
#include "platform/Paths.h"
#include "work/SerialQueue.h"
#include "platform/SkippedFolders.h"
#include "platform/Timestamp.h"
#include "support/TemporaryHome.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include <sys/stat.h>

using namespace tolvaran;

namespace {

mode_t modeOf(const QString &path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 0777;
}

} // namespace

TEST(Graphemes, countsClustersNotCodeUnits)
{
    EXPECT_EQ(graphemeCount(QString()), 0);
    EXPECT_EQ(graphemeCount(QStringLiteral("abc")), 3);
    // e + combining acute, a flag (two regional indicators), a family emoji joined by ZWJ.
    const QString text = QStringLiteral("e\u0301") + QString::fromUtf8("\U0001F1F3\U0001F1F4")
                         + QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    EXPECT_EQ(graphemeCount(text), 3);
    EXPECT_EQ(graphemePrefix(text, 1), QStringLiteral("e\u0301"));
    EXPECT_EQ(graphemePrefix(text, 10), text);
    EXPECT_EQ(graphemePrefix(text, 0), QString());
}

TEST(Paths, standardizesAbsolutePathsOnly)
{
    EXPECT_EQ(standardizedPath(QStringLiteral("/a/b/")), QStringLiteral("/a/b"));
    EXPECT_EQ(standardizedPath(QStringLiteral("/a/./c/../b")), QStringLiteral("/a/b"));
    EXPECT_EQ(standardizedPath(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(standardizedPath(QStringLiteral("relative/../x/")), QStringLiteral("relative/../x/"));
    EXPECT_EQ(standardizedPath(QString()), QString());
}

TEST(Paths, privateDirectoryIsCreatedOwnerOnly)
{
    fixtures::TemporaryHome home;
    const QString nested = home.filePath(QStringLiteral("a/b/Tolvaran"));
    ASSERT_TRUE(ensureApplicationSupportDirectory(nested));
    EXPECT_EQ(modeOf(nested), 0700u);
    EXPECT_EQ(modeOf(home.filePath(QStringLiteral("a"))), 0700u);
    EXPECT_TRUE(ensureApplicationSupportDirectory(nested)); // again: no error
}

TEST(Timestamp, convertsBetweenEpochs)
{
    const Timestamp t = Timestamp::fromReferenceSeconds(0);
    EXPECT_EQ(t.toDateTime(), QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));
    EXPECT_LT(Timestamp::distantPast(), Timestamp::fromSeconds(-1e9));
    EXPECT_TRUE(Timestamp::distantPast().isDistantPast());
    EXPECT_EQ(Timestamp::fromMilliseconds(1500).seconds, 1.5);
}

TEST(AtomicFileWriter, writesPrivateFilesAndReplacesWhole)
{
    fixtures::TemporaryHome home;
    const QString path = home.filePath(QStringLiteral("state.json"));
    EXPECT_TRUE(AtomicFileWriter::write(path, "first").isEmpty());
    EXPECT_TRUE(AtomicFileWriter::write(path, "second").isEmpty());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("second"));
    EXPECT_EQ(modeOf(path), 0600u);
}

TEST(AtomicFileWriter, reportsAFolderItCannotWriteIn)
{
    fixtures::TemporaryHome home;
    const QString message =
        AtomicFileWriter::write(home.filePath(QStringLiteral("missing/dir/file")), "x");
    EXPECT_FALSE(message.isEmpty());
}

TEST(KeyValueStore, keepsValuesAcrossInstances)
{
    fixtures::TemporaryHome home;
    const QString path = home.filePath(QStringLiteral("defaults.conf"));
    {
        KeyValueStore store(path);
        store.setValue(QStringLiteral("projectTags.snapshot.v1"), QByteArray("{\"tags\":[]}"));
        store.setValue(QStringLiteral("projectTags.sidebarVisible"), false);
        EXPECT_TRUE(store.sync());
    }
    KeyValueStore again(path);
    EXPECT_EQ(again.bytes(QStringLiteral("projectTags.snapshot.v1")), QByteArray("{\"tags\":[]}"));
    EXPECT_FALSE(again.boolean(QStringLiteral("projectTags.sidebarVisible"), true));
    EXPECT_TRUE(again.boolean(QStringLiteral("absent"), true));
    again.remove(QStringLiteral("projectTags.sidebarVisible"));
    EXPECT_FALSE(again.contains(QStringLiteral("projectTags.sidebarVisible")));
}

TEST(SerialQueue, runsJobsInOrderOnOneThread)
{
    SerialQueue queue(QStringLiteral("com.ostvik.tolvaran.test"));
    std::vector<int> order;
    std::set<std::thread::id> threads;
    for (int i = 0; i < 100; ++i) {
        queue.async([&, i] {
            order.push_back(i);
            threads.insert(std::this_thread::get_id());
        });
    }
    queue.drain();
    ASSERT_EQ(order.size(), 100u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(threads.size(), 1u);
    bool ranOnQueue = false;
    queue.sync([&] { ranOnQueue = queue.isCurrent(); });
    EXPECT_TRUE(ranOnQueue);
    EXPECT_FALSE(queue.isCurrent());
}

TEST(SkippedFolders, namesBuildDependencyAndCacheFoldersExactly)
{
    for (const char *name : {"node_modules", "target", "build", ".build", "vendor", "dist",
                             "DerivedData", "Pods", "coverage", ".venv", "venv", "__pycache__",
                             ".gradle", ".tox", ".mypy_cache", ".pytest_cache", ".next",
                             ".swiftpm"}) {
        EXPECT_TRUE(isSkippedFolderName(QString::fromLatin1(name))) << name;
    }
    for (const char *name : {"Build", "src", "docs", ".git", "refs", "builds", "node_module"})
        EXPECT_FALSE(isSkippedFolderName(QString::fromLatin1(name))) << name;
}

namespace tolvaran {
namespace {

mode_t fileMode(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// It names the member, the teams and the device: nobody else on the computer reads it.
TEST(KeyValueStore, keepsItsFilePrivate)
{
    fixtures::TemporaryHome home;
    const QString fresh = home.filePath(QStringLiteral("config/Tolvaran/Tolvaran.conf"));
    {
        KeyValueStore store(fresh);
        EXPECT_FALSE(QFileInfo::exists(fresh)); // made on the first write only
        store.setValue(QStringLiteral("team.memberName"), QStringLiteral("Ada"));
        EXPECT_TRUE(store.sync());
    }
    EXPECT_EQ(fileMode(fresh), 0600u);
    KeyValueStore reopened(fresh);
    EXPECT_EQ(reopened.string(QStringLiteral("team.memberName")), QStringLiteral("Ada"));

    // One an earlier version left readable to everyone.
    const QString older = home.writeFile(QStringLiteral("older.conf"), "[team]\nid=t1\n");
    ASSERT_TRUE(QFile::setPermissions(older, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                 | QFileDevice::ReadGroup
                                                 | QFileDevice::ReadOther));
    KeyValueStore store(older);
    EXPECT_EQ(fileMode(older), 0600u);
    store.setValue(QStringLiteral("team.memberName"), QStringLiteral("Ada"));
    EXPECT_TRUE(store.sync());
    EXPECT_EQ(fileMode(older), 0600u);
    EXPECT_EQ(store.string(QStringLiteral("team/id")), QStringLiteral("t1"));
}

TEST(KeyValueStore, removesTheCopyAKilledWriteLeftBehind)
{
    fixtures::TemporaryHome home;
    const QString path = home.writeFile(QStringLiteral("Tolvaran.conf"), "");
    const auto leave = [&](const QString &name, std::chrono::seconds age) {
        const QString copy = home.writeFile(name, "[team]\n");
        QFile file(copy);
        file.open(QIODevice::ReadWrite);
        file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-age.count()),
                         QFileDevice::FileModificationTime);
        return copy;
    };
    const QString abandoned = leave(QStringLiteral("Tolvaran.conf.a1B2c3"), std::chrono::hours(1));
    const QString beingWritten = leave(QStringLiteral("Tolvaran.conf.Zz9yX8"), {});
    const QString lock = leave(QStringLiteral("Tolvaran.conf.lock"), std::chrono::hours(1));
    const QString other = leave(QStringLiteral("Tolvaran.conf.backup1"), std::chrono::hours(1));

    const KeyValueStore store(path);
    EXPECT_FALSE(QFileInfo::exists(abandoned));
    EXPECT_TRUE(QFileInfo::exists(beingWritten)); // another running copy may be writing it
    EXPECT_TRUE(QFileInfo::exists(lock));
    EXPECT_TRUE(QFileInfo::exists(other));
    EXPECT_TRUE(QFileInfo::exists(path));
}

} // namespace
} // namespace tolvaran
