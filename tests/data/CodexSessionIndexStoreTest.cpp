#include "data/codex/CodexSessionIndexStore.h"
#include "support/codex/FakeCodexHome.h"
#include "support/QtPrinters.h"
#include "support/TemporaryHome.h"

#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

using Names = QHash<QString, QString>;

void setModificationTime(const QString &path, const QDateTime &when)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(when, QFileDevice::FileModificationTime));
}

void overwrite(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(contents), contents.size());
}

} // namespace

TEST(CodexSessionIndexStore, lastLineForAnIdWinsAndUnusableLinesAreSkipped)
{
    TemporaryHome home;
    FakeCodexHome codex(home.filePath(QStringLiteral(".codex")));
    codex.appendSessionIndexName(QStringLiteral("a"), QStringLiteral("First name"));
    codex.appendSessionIndexLine("");
    codex.appendSessionIndexLine("not json");
    codex.appendSessionIndexLine("[\"a\", \"array\"]");
    codex.appendSessionIndexLine(R"({"id":"b","thread_name":"   "})");
    codex.appendSessionIndexLine(R"({"id":"c","thread_name":5})");
    codex.appendSessionIndexLine(R"({"id":7,"thread_name":"Number id"})");
    codex.appendSessionIndexLine(R"({"thread_name":"No id"})");
    codex.appendSessionIndexName(QStringLiteral("a"), QStringLiteral("  Renamed \n"));
    codex.appendSessionIndexLine("{\"id\":\" d \",\"thread_name\":\"Carriage return\"}\r");

    CodexSessionIndexStore store(codex.sessionIndexPath());
    EXPECT_EQ(store.loadThreadNames(), (Names{{QStringLiteral("a"), QStringLiteral("Renamed")},
                                              {QStringLiteral(" d "),
                                               QStringLiteral("Carriage return")}}));
}

TEST(CodexSessionIndexStore, rereadsOnlyWhenSizeOrTimeChanges)
{
    TemporaryHome home;
    FakeCodexHome codex(home.filePath(QStringLiteral(".codex")));
    const QString path = codex.sessionIndexPath();
    const QDateTime earlier = QDateTime::currentDateTimeUtc().addSecs(-60);
    codex.appendSessionIndexLine(R"({"id":"a","thread_name":"Old"})");
    setModificationTime(path, earlier);

    CodexSessionIndexStore store(path);
    const Names old{{QStringLiteral("a"), QStringLiteral("Old")}};
    EXPECT_EQ(store.loadThreadNames(), old);

    // Same size and same time: served from the cache without reading.
    overwrite(path, R"({"id":"a","thread_name":"New"})" "\n");
    setModificationTime(path, earlier);
    EXPECT_EQ(store.loadThreadNames(), old);

    // Touched: read again.
    setModificationTime(path, earlier.addSecs(1));
    const Names renamed{{QStringLiteral("a"), QStringLiteral("New")}};
    EXPECT_EQ(store.loadThreadNames(), renamed);

    // Deleted: empty, and the cache is forgotten, so a file that comes back with the old size
    // and time is read again.
    QFile::remove(path);
    EXPECT_EQ(store.loadThreadNames(), Names());
    overwrite(path, R"({"id":"a","thread_name":"Bak"})" "\n");
    setModificationTime(path, earlier.addSecs(1));
    EXPECT_EQ(store.loadThreadNames(), (Names{{QStringLiteral("a"), QStringLiteral("Bak")}}));
}

TEST(CodexSessionIndexStore, missingFileGivesNoNames)
{
    TemporaryHome home;
    CodexSessionIndexStore store(home.filePath(QStringLiteral("session_index.jsonl")));
    EXPECT_TRUE(store.loadThreadNames().isEmpty());
}

TEST(CodexSessionIndexStore, oddFilesAreNotReadAndKeepTheNamesReadBefore)
{
    TemporaryHome home;
    const QString path = home.filePath(QStringLiteral("session_index.jsonl"));
    CodexSessionIndexStore store(path);
    overwrite(path, R"({"id":"t1","thread_name":"First"})" "\n");
    ASSERT_EQ(store.loadThreadNames(), (Names{{QStringLiteral("t1"), QStringLiteral("First")}}));

    // Larger than the limit: not read; the names read before stay.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(CodexSessionIndexStore::maximumFileBytes + 1));
    file.close();
    EXPECT_EQ(store.loadThreadNames(), (Names{{QStringLiteral("t1"), QStringLiteral("First")}}));

    // A FIFO or a link to an endless device is no index at all.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    EXPECT_TRUE(store.loadThreadNames().isEmpty());
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
    EXPECT_TRUE(store.loadThreadNames().isEmpty());
}
