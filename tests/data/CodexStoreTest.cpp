#include "data/codex/CodexStore.h"
#include "platform/storage/SqliteDatabase.h"
#include "platform/storage/SqliteStatement.h"
#include "support/codex/FakeCodexHome.h"
#include "support/QtPrinters.h"
#include "support/codex/RolloutLines.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include <sys/stat.h>
#include <unistd.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

const Timestamp base = Timestamp::fromSeconds(1767225600.25); // 2026-01-01, a quarter past

QStringList ids(const QList<CodexThread> &threads)
{
    QStringList result;
    for (const CodexThread &thread : threads)
        result.append(thread.id);
    return result;
}

FakeCodexThread fakeThread(const QString &id, double minutesAfterBase)
{
    FakeCodexThread thread;
    thread.id = id;
    thread.cwd = QStringLiteral("/work/app");
    thread.title = QStringLiteral("Title ") + id;
    thread.preview = QStringLiteral("Preview ") + id;
    thread.createdAt = base;
    thread.updatedAt = base.addingSeconds(60 * minutesAfterBase);
    thread.recencyAt = thread.updatedAt.addingSeconds(5);
    return thread;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CodexStoreTest : public ::testing::Test
{
protected:
    CodexStoreTest()
        : codex(home.filePath(QStringLiteral(".codex")))
        , store(codex.databasePath(), codex.sessionIndexPath())
    {
    }

    // The database files as Codex left them: the main file, its log and the log's index.
    QList<QByteArray> databaseFiles() const
    {
        const QString path = codex.databasePath();
        return {fileBytes(path), fileBytes(path + QStringLiteral("-wal")),
                fileBytes(path + QStringLiteral("-shm"))};
    }

    TemporaryHome home;
    FakeCodexHome codex;
    CodexStore store;
};

} // namespace

TEST_F(CodexStoreTest, readsEveryFieldOfTheModernTable)
{
    FakeCodexThread fake = fakeThread(QStringLiteral("t1"), 3);
    fake.name = QStringLiteral("  Named in the table ");
    fake.gitBranch = QStringLiteral(" main ");
    fake.gitOriginURL = QStringLiteral("git@example.com:team/app.git");
    fake.tokensUsed = qint64(1) << 40;
    fake.model = QStringLiteral("gpt-5-codex");
    fake.projectID = QStringLiteral("project-1");
    const QString rolloutPath = codex.addThread(fake);
    codex.writeRollout(fake.id, FakeCodexHome::threadOpening(base, fake.id, fake.cwd)
                                    + FakeCodexHome::turn(base, QStringLiteral("Ship it\nnow"),
                                                          FakeTurnEnd::completed));
    codex.writeDatabase();
    ASSERT_EQ(FakeCodexHome::threadColumns().size(), 42);

    CodexThread expected;
    expected.id = fake.id;
    expected.rolloutPath = rolloutPath;
    expected.cwd = fake.cwd;
    expected.title = fake.title;
    expected.customName = QStringLiteral("Named in the table");
    expected.preview = fake.preview;
    expected.latestUserMessage = QStringLiteral("Ship it now");
    // The millisecond columns win over the seconds columns, so fractions survive.
    expected.updatedAt = Timestamp::fromMilliseconds(fake.updatedAt.milliseconds());
    expected.recencyAt = Timestamp::fromMilliseconds(fake.recencyAt->milliseconds());
    expected.createdAt = Timestamp::fromMilliseconds(base.milliseconds());
    expected.gitBranch = QStringLiteral("main");
    expected.gitOriginURL = fake.gitOriginURL;
    expected.tokensUsed = fake.tokensUsed;
    expected.model = fake.model;
    expected.projectID = fake.projectID;
    EXPECT_EQ(store.loadThreads(false), QList<CodexThread>{expected});
    EXPECT_EQ(expected.createdAt.seconds, 1767225600.25);
}

TEST_F(CodexStoreTest, newestFirstAndArchivedOnlyWhenAsked)
{
    codex.addThread(fakeThread(QStringLiteral("old"), 1));
    FakeCodexThread archived = fakeThread(QStringLiteral("archived"), 2);
    archived.archived = true;
    const QString archivedRollout = codex.addThread(archived);
    codex.addThread(fakeThread(QStringLiteral("new"), 3));
    codex.writeDatabase();

    EXPECT_EQ(ids(store.loadThreads(false)),
              (QStringList{QStringLiteral("new"), QStringLiteral("old")}));
    const QList<CodexThread> all = store.loadThreads(true);
    ASSERT_EQ(ids(all), (QStringList{QStringLiteral("new"), QStringLiteral("archived"),
                                     QStringLiteral("old")}));
    EXPECT_TRUE(all[1].archived);
    EXPECT_TRUE(all[1].rolloutPath.contains(QStringLiteral("/archived_sessions/")));
    EXPECT_EQ(all[1].rolloutPath, archivedRollout);
}

TEST_F(CodexStoreTest, olderTablesAreReadWithWhatTheyHave)
{
    // Without the millisecond columns the order and the times come from the seconds columns
    // (whole seconds); without recency the update time stands in.
    codex.addThread(fakeThread(QStringLiteral("first"), 1));
    codex.addThread(fakeThread(QStringLiteral("second"), 2));
    codex.writeDatabase({FakeCodexHome::olderSchemaOmissions()});
    codex.appendSessionIndexName(QStringLiteral("first"), QStringLiteral("From the index"));

    const QList<CodexThread> threads = store.loadThreads(false);
    ASSERT_EQ(ids(threads), (QStringList{QStringLiteral("second"), QStringLiteral("first")}));
    const CodexThread &second = threads[0];
    EXPECT_EQ(second.updatedAt, Timestamp::fromSeconds(std::floor(base.seconds) + 120));
    EXPECT_EQ(second.recencyAt, second.updatedAt);
    EXPECT_EQ(second.createdAt, Timestamp::fromSeconds(std::floor(base.seconds)));
    EXPECT_EQ(second.preview, QString());
    EXPECT_EQ(second.customName, std::nullopt);
    EXPECT_EQ(second.model, std::nullopt);
    EXPECT_EQ(second.projectID, std::nullopt);
    EXPECT_EQ(threads[1].customName, QStringLiteral("From the index"));
}

TEST_F(CodexStoreTest, tableWithoutArchivedColumnIsNeverFiltered)
{
    FakeCodexThread thread = fakeThread(QStringLiteral("t"), 1);
    thread.archived = true; // nowhere to write it
    codex.addThread(thread);
    codex.writeDatabase({{QStringLiteral("archived"), QStringLiteral("archived_at")}});
    const QList<CodexThread> threads = store.loadThreads(false);
    ASSERT_EQ(threads.size(), 1);
    EXPECT_FALSE(threads[0].archived);
}

TEST_F(CodexStoreTest, unknownTimesAndBlankTexts)
{
    FakeCodexThread unknown = fakeThread(QStringLiteral("unknown"), 0);
    for (const char *column : {"created_at", "created_at_ms", "updated_at", "updated_at_ms",
                               "recency_at", "recency_at_ms"})
        unknown.columnValues.insert(QLatin1String(column), 0);
    unknown.columnValues.insert(QStringLiteral("name"), QStringLiteral("   "));
    unknown.columnValues.insert(QStringLiteral("git_branch"), QStringLiteral(""));
    unknown.columnValues.insert(QStringLiteral("preview"), QVariant());
    codex.addThread(unknown);
    FakeCodexThread noRecency = fakeThread(QStringLiteral("no-recency"), 2);
    noRecency.recencyAt.reset();
    codex.addThread(noRecency);
    codex.writeDatabase();

    const QList<CodexThread> threads = store.loadThreads(false);
    ASSERT_EQ(ids(threads), (QStringList{QStringLiteral("no-recency"),
                                         QStringLiteral("unknown")}));
    EXPECT_EQ(threads[0].recencyAt, threads[0].updatedAt);
    EXPECT_FALSE(threads[0].recencyAt.isDistantPast());
    const CodexThread &thread = threads[1];
    EXPECT_TRUE(thread.updatedAt.isDistantPast());
    EXPECT_TRUE(thread.createdAt.isDistantPast());
    EXPECT_EQ(thread.recencyAt, thread.updatedAt);
    EXPECT_EQ(thread.customName, std::nullopt);
    EXPECT_EQ(thread.gitBranch, std::nullopt);
    EXPECT_EQ(thread.preview, QString());
}

TEST_F(CodexStoreTest, sessionIndexNamesWinOverTheTable)
{
    FakeCodexThread named = fakeThread(QStringLiteral("named"), 1);
    named.name = QStringLiteral("Table name");
    codex.addThread(named);
    FakeCodexThread other = fakeThread(QStringLiteral("other"), 2);
    other.name = QStringLiteral("Other table name");
    codex.addThread(other);
    codex.writeDatabase();
    codex.appendSessionIndexName(QStringLiteral("named"), QStringLiteral("First rename"));
    codex.appendSessionIndexName(QStringLiteral("named"), QStringLiteral("Second rename"));

    const QList<CodexThread> threads = store.loadThreads(false);
    ASSERT_EQ(threads.size(), 2);
    EXPECT_EQ(threads[0].customName, QStringLiteral("Other table name"));
    EXPECT_EQ(threads[1].customName, QStringLiteral("Second rename"));
}

TEST_F(CodexStoreTest, missingDatabaseIsReportedWithoutCreatingIt)
{
    try {
        store.loadThreads(false);
        FAIL() << "a missing database must fail";
    } catch (const CodexStoreError &error) {
        EXPECT_EQ(error.kind(), CodexStoreError::Kind::databaseMissing);
        EXPECT_EQ(error.message(), QStringLiteral("Codex database was not found at ")
                                       + codex.databasePath() + QStringLiteral("."));
    }
    EXPECT_FALSE(QFileInfo::exists(codex.databasePath()));
}

TEST_F(CodexStoreTest, aFifoInPlaceOfTheDatabaseOrItsLogFailsWithoutWaiting)
{
    codex.addThread(fakeThread(QStringLiteral("t1"), 1));
    for (const QString &suffix : {QString(), QStringLiteral("-wal")}) {
        SCOPED_TRACE(suffix.toStdString());
        for (const char *side : {"", "-wal", "-shm"})
            QFile::remove(codex.databasePath() + QLatin1String(side));
        codex.writeDatabase({{}, FakeCodexLogState::rowsOnlyInLog});
        const QByteArray fifo = QFile::encodeName(codex.databasePath() + suffix);
        ASSERT_EQ(::unlink(fifo.constData()), 0);
        ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
        try {
            store.loadThreads(false);
            ADD_FAILURE() << "a FIFO must not be opened as a database";
        } catch (const CodexStoreError &error) {
            EXPECT_EQ(error.kind(), CodexStoreError::Kind::openFailed);
            EXPECT_TRUE(error.message().endsWith(QStringLiteral(" is not a regular file")))
                << error.what();
        }
    }
}

TEST_F(CodexStoreTest, missingTableCannotBePrepared)
{
    {
        SqliteDatabase db(codex.databasePath(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        db.execute(QStringLiteral("CREATE TABLE other (a INTEGER)"));
    }
    try {
        store.loadThreads(false);
        FAIL() << "a database without a threads table must fail";
    } catch (const CodexStoreError &error) {
        EXPECT_EQ(error.message(), QStringLiteral("Could not prepare Codex query: no such "
                                                  "table: threads at ")
                                       + codex.databasePath());
    }
}

TEST_F(CodexStoreTest, rowsOnlyInTheLogAreReadWithoutTouchingCodexFiles)
{
    for (int i = 0; i < 50; ++i)
        codex.addThread(fakeThread(QStringLiteral("t%1").arg(i, 2, 10, QLatin1Char('0')), i));
    codex.writeDatabase({{}, FakeCodexLogState::rowsOnlyInLog});
    const QList<QByteArray> before = databaseFiles();
    ASSERT_EQ(before[0].size(), 4096) << "the main file holds only its first page";
    ASSERT_FALSE(before[1].isEmpty());
    ASSERT_FALSE(before[2].isEmpty());

    // The read-only load writes nothing at all, not even the log's shared-memory index.
    EXPECT_EQ(store.loadThreads(false, false).size(), 50);
    EXPECT_EQ(databaseFiles(), before);

    // Even a connection allowed to write side files, closing last, neither checkpoints the
    // log into the database nor removes it.
    EXPECT_EQ(store.loadThreads(false, true).size(), 50);
    const QList<QByteArray> after = databaseFiles();
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(after[1], before[1]);
    EXPECT_TRUE(QFileInfo::exists(codex.databasePath() + QStringLiteral("-shm")));
}

TEST_F(CodexStoreTest, readsWhileCodexWrites)
{
    codex.addThread(fakeThread(QStringLiteral("a"), 1));
    codex.writeDatabase({{}, FakeCodexLogState::rowsOnlyInLog});
    SqliteDatabase running(codex.databasePath(), SQLITE_OPEN_READWRITE);
    running.execute(QStringLiteral("PRAGMA wal_autocheckpoint = 0"));
    running.execute(QStringLiteral("INSERT INTO threads (id, rollout_path, created_at, "
                                   "updated_at, source, model_provider, cwd, title, "
                                   "sandbox_policy, approval_mode, updated_at_ms) VALUES ('b', "
                                   "'', 1, 1, 'cli', 'openai', '/w', 'B', '', '', 9e15)"));
    EXPECT_EQ(ids(store.loadThreads(false, false)),
              (QStringList{QStringLiteral("b"), QStringLiteral("a")}));
    EXPECT_EQ(ids(store.loadThreads(false, true)),
              (QStringList{QStringLiteral("b"), QStringLiteral("a")}));
    running.execute(QStringLiteral("DELETE FROM threads WHERE id = 'a'"));
    EXPECT_EQ(ids(store.loadThreads(false)), QStringList{QStringLiteral("b")});
}

TEST_F(CodexStoreTest, missingSideFilesAreLeftToTheSecondAttempt)
{
    codex.addThread(fakeThread(QStringLiteral("a"), 1));
    codex.writeDatabase(); // checkpointed: no -wal, no -shm
    const QByteArray database = fileBytes(codex.databasePath());
    ASSERT_FALSE(QFileInfo::exists(codex.databasePath() + QStringLiteral("-shm")));

    EXPECT_THROW(store.loadThreads(false, false), CodexStoreError);
    EXPECT_EQ(ids(store.loadThreads(false)), QStringList{QStringLiteral("a")});
    EXPECT_EQ(fileBytes(codex.databasePath()), database);
    // Now that the side files exist, the read-only form works by itself.
    EXPECT_EQ(ids(store.loadThreads(false, false)), QStringList{QStringLiteral("a")});
}

TEST_F(CodexStoreTest, readThatStopsBeforeTheLastRowFails)
{
    for (int i = 0; i < 2000; ++i)
        codex.addThread(fakeThread(QStringLiteral("thread-%1").arg(i), i));
    codex.writeDatabase();
    ASSERT_EQ(store.loadThreads(false).size(), 2000); // leaves the side files in place

    // Damage every page after the schema and the table's root: the rows cannot be read.
    QFile file(codex.databasePath());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_GT(file.size(), 8 * 4096);
    ASSERT_TRUE(file.seek(2 * 4096));
    file.write(QByteArray(file.size() - 2 * 4096, '\xff'));
    file.close();

    for (const bool sidecarWrites : {false, true}) {
        SCOPED_TRACE(sidecarWrites);
        try {
            const QList<CodexThread> threads = store.loadThreads(false, sidecarWrites);
            FAIL() << "a damaged table gave " << threads.size() << " rows as success";
        } catch (const CodexStoreError &error) {
            EXPECT_EQ(error.kind(), CodexStoreError::Kind::readFailed);
            EXPECT_TRUE(error.message().startsWith(
                QStringLiteral("Could not read Codex database: ")))
                << error.what();
        }
    }
}

TEST_F(CodexStoreTest, generatedHomeReadsBackAsGenerated)
{
    FakeCodexGeneration generation;
    generation.threadCount = 60;
    generation.rolloutCount = 20;
    generation.archivedEvery = 9;    // threads 8, 17, 26, 35, 44 and 53
    generation.namedEvery = 5;       // threads 0, 5, 10, ...
    generation.processingEvery = 40; // of the threads with rollouts, thread 0
    const QStringList generated = codex.generate(generation);
    codex.writeDatabase({{}, FakeCodexLogState::rowsOnlyInLog});

    const QList<CodexThread> all = store.loadThreads(true);
    EXPECT_EQ(ids(all), generated) << "newest first, as generated";
    const QList<CodexThread> unarchived = store.loadThreads(false);
    EXPECT_EQ(unarchived.size(), 54);
    for (int i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(all[i].archived, i % 9 == 8);
        EXPECT_EQ(all[i].customName.has_value(), i % 5 == 0);
        EXPECT_EQ(all[i].latestUserMessage.has_value(), i < 20);
        EXPECT_EQ(all[i].tokensUsed > 0, i < 20);
    }
    EXPECT_TRUE(all[1].latestUserMessage->startsWith(QStringLiteral("Now also: ")));
    EXPECT_EQ(store.activityStore().processingThreadIDs(all), QSet<QString>{generated[0]});
    // Checked for a live Codex, thread 0's last turn runs only while a process runs it.
    const CodexStore checked(codex.databasePath(), codex.sessionIndexPath(),
                             CodexTurnLiveness::forCodexHome(codex.path()));
    EXPECT_TRUE(checked.activityStore().processingThreadIDs(all).isEmpty());
    const auto running = codex.startCodex(generated[0]);
    EXPECT_EQ(checked.activityStore().processingThreadIDs(all), QSet<QString>{generated[0]});
}

TEST(CodexStore, readOnlyLoadWorksInAFolderWhoseNameNeedsEscaping)
{
    TemporaryHome home;
    FakeCodexHome codex(home.filePath(QStringLiteral("odd ?#%25 ünï/.codex")));
    codex.addThread(fakeThread(QStringLiteral("a"), 1));
    codex.writeDatabase({{}, FakeCodexLogState::rowsOnlyInLog});
    CodexStore store(codex.databasePath(), codex.sessionIndexPath());
    EXPECT_EQ(ids(store.loadThreads(false, false)), QStringList{QStringLiteral("a")});
}

TEST_F(CodexStoreTest, corruptLogHeaderGoesStraightToTheSecondAttempt)
{
    constexpr std::chrono::seconds generousDeadline{5};
    for (int i = 0; i < 5; ++i)
        codex.addThread(fakeThread(QStringLiteral("t%1").arg(i), i));
    codex.writeDatabase({{}, FakeCodexLogState::rowsOnlyInLog});
    QFile log(codex.databasePath() + QStringLiteral("-wal"));
    ASSERT_TRUE(log.open(QIODevice::ReadWrite));
    ASSERT_EQ(log.write(QByteArray(32, '\x5a')), 32);
    log.close();

    // SQLite retries a read-only read of a log it cannot trust for about ten seconds before
    // it gives up with a locking-protocol error; the second attempt ignores the log at once
    // (and finds no table in the main file).
    auto load = std::async(std::launch::async, [this] {
        try {
            store.loadThreads(false);
            return CodexStoreError::Kind::openFailed;
        } catch (const CodexStoreError &error) {
            return error.kind();
        }
    });
    ASSERT_EQ(load.wait_for(generousDeadline), std::future_status::ready);
    EXPECT_EQ(load.get(), CodexStoreError::Kind::prepareFailed);
}

namespace {

TEST_F(CodexStoreTest, projectRecordsAreReadFromCodexsOwnTables)
{
    codex.addThread(fakeThread(QStringLiteral("a"), 1));
    codex.addDatabaseProject({"p-b", "  Billing API  ", {"/work/billing/", "/work/shared"}});
    codex.addDatabaseProject({"p-a", "Shared bits", {"/work/shared"}});
    codex.addDatabaseProject({"p-c", "   ", {"/work/blank"}});
    codex.writeDatabase({{}, FakeCodexLogState::rowsOnlyInLog});

    const CodexProjectRecords records = store.loadProjectRecords();
    EXPECT_EQ(records.namesByID, (QHash<QString, QString>{{"p-b", "Billing API"},
                                                          {"p-a", "Shared bits"}}));
    EXPECT_EQ(records.projectIDsByPath,
              (QHash<QString, QStringList>{{"/work/billing", {"p-b"}},
                                           {"/work/shared", {"p-a", "p-b"}},
                                           {"/work/blank", {"p-c"}}}));
    EXPECT_EQ(ids(store.loadThreads(false)), QStringList{"a"});
}

TEST_F(CodexStoreTest, anOlderDatabaseWithoutProjectTablesHasNoProjectRecords)
{
    codex.addThread(fakeThread(QStringLiteral("a"), 1));
    codex.addDatabaseProject({"p-a", "Never written", {"/work/app"}});
    FakeCodexDatabaseOptions older;
    older.omittedColumns = FakeCodexHome::olderSchemaOmissions();
    older.projectTables = false;
    codex.writeDatabase(older);

    EXPECT_EQ(store.loadProjectRecords(), CodexProjectRecords());
    EXPECT_EQ(ids(store.loadThreads(false)), QStringList{"a"});
}

TEST(CodexProjectRecords, theGlobalStatesNamesAndFoldersWin)
{
    CodexGlobalStateSnapshot snapshot;
    snapshot.projectNamesByID = {{"p-a", "Renamed in the app"}};
    snapshot.projectIDsByPath = {{"/work/app", {"g-1"}}, {"/work/empty", {}}};
    CodexProjectRecords records;
    records.namesByID = {{"p-a", "Codex's name"}, {"p-b", "Billing"}};
    records.projectIDsByPath = {{"/work/app", {"p-a"}},
                                {"/work/billing", {"p-b"}},
                                {"/work/empty", {"p-e"}}};
    records.fillGapsOf(snapshot);
    EXPECT_EQ(snapshot.projectNamesByID,
              (QHash<QString, QString>{{"p-a", "Renamed in the app"}, {"p-b", "Billing"}}));
    EXPECT_EQ(snapshot.projectIDsByPath,
              (QHash<QString, QStringList>{{"/work/app", {"g-1"}},
                                           {"/work/billing", {"p-b"}},
                                           {"/work/empty", {"p-e"}}}));
}

} // namespace

namespace {

// A table of a few dozen threads with every kind of text, several of them updated at the same
// moment.
void writeVariedTable(FakeCodexHome &codex)
{
    for (int i = 0; i < 40; ++i) {
        FakeCodexThread thread = fakeThread(QStringLiteral("t%1").arg(i), i % 7);
        thread.cwd = QStringLiteral("/work/app-%1").arg(i % 3);
        thread.gitBranch = i % 2 ? QStringLiteral("main") : QStringLiteral("feature/%1").arg(i);
        thread.gitOriginURL = QStringLiteral("git@example.com:team/app.git");
        thread.model = QStringLiteral("gpt-5-codex");
        if (i % 4 == 0)
            thread.name = QStringLiteral("Named %1").arg(i);
        codex.addThread(thread);
    }
    codex.writeDatabase();
}

void change(const FakeCodexHome &codex, const QString &sql)
{
    SqliteDatabase database(codex.databasePath(), SQLITE_OPEN_READWRITE);
    database.execute(sql);
}

} // namespace

// A refresh keeps several lists of Codex's threads at once (the projects shown, the token
// index's, the one just read): read after read of an unchanged table, they share one copy of
// the text.
TEST_F(CodexStoreTest, anUnchangedTableReadAgainSharesItsText)
{
    writeVariedTable(codex);
    const QList<CodexThread> first = store.loadThreads(true);
    const QList<CodexThread> second = store.loadThreads(true);
    ASSERT_EQ(second, first);
    ASSERT_EQ(second.size(), 40);
    for (qsizetype i = 0; i < second.size(); ++i) {
        SCOPED_TRACE(i);
        for (QString CodexThread::*field :
             {&CodexThread::id, &CodexThread::rolloutPath, &CodexThread::cwd,
              &CodexThread::title, &CodexThread::preview}) {
            EXPECT_EQ((second[i].*field).constData(), (first[i].*field).constData());
        }
        EXPECT_EQ(second[i].gitBranch->constData(), first[i].gitBranch->constData());
        EXPECT_EQ(second[i].model->constData(), first[i].model->constData());
        if (i % 4 == 0) {
            EXPECT_EQ(second[i].customName->constData(), first[i].customName->constData());
        }
    }
}

// Whatever changed between two reads, the second reads as a store that never read before
// reads the table: text is taken from the last read only where it is the same.
TEST_F(CodexStoreTest, whatChangedBetweenReadsReadsAsAFreshRead)
{
    const struct
    {
        const char *name;
        const char *sql;
    } changes[] = {
        {"a title", "UPDATE threads SET title = 'Renamed' WHERE id = 't5'"},
        {"a title to text beyond ASCII",
         "UPDATE threads SET title = 'Café — 日本語 🚀' WHERE id = 't6'"},
        {"a title to invalid UTF-8",
         "UPDATE threads SET title = CAST(X'43616665C3FF2080' AS TEXT) WHERE id = 't7'"},
        {"a branch to blank", "UPDATE threads SET git_branch = '  ' WHERE id = 't8'"},
        {"a branch with spaces around it",
         "UPDATE threads SET git_branch = ' main ' WHERE id = 't10'"},
        {"a name to none", "UPDATE threads SET name = NULL WHERE id = 't12'"},
        {"a thread updated now", "UPDATE threads SET updated_at_ms = 9e15 WHERE id = 't30'"},
        {"a thread gone", "DELETE FROM threads WHERE id IN ('t0', 't1')"},
        {"a thread added",
         "INSERT INTO threads (id, rollout_path, created_at, updated_at, source, "
         "model_provider, cwd, title, sandbox_policy, approval_mode, updated_at_ms) VALUES "
         "('new', '', 1, 1, 'cli', 'openai', '/work/app-1', 'New', '', '', 420000)"},
        {"two ids swapped", "UPDATE threads SET id = 'swap' WHERE id = 't2'; "
                            "UPDATE threads SET id = 't2' WHERE id = 't3'; "
                            "UPDATE threads SET id = 't3' WHERE id = 'swap'"},
    };
    for (const auto &[name, sql] : changes) {
        SCOPED_TRACE(name);
        TemporaryHome folder;
        FakeCodexHome fake(folder.filePath(QStringLiteral(".codex")));
        writeVariedTable(fake);
        const CodexStore reading(fake.databasePath(), fake.sessionIndexPath());
        const QList<CodexThread> before = reading.loadThreads(true);
        change(fake, QString::fromUtf8(sql));
        const QList<CodexThread> after = reading.loadThreads(true);
        const CodexStore fresh(fake.databasePath(), fake.sessionIndexPath());
        EXPECT_EQ(after, fresh.loadThreads(true));
        EXPECT_NE(after, before);
    }
}

TEST_F(CodexStoreTest, threadsOfOneMomentKeepTheTablesOrder)
{
    writeVariedTable(codex);
    SqliteDatabase database(codex.databasePath(), SQLITE_OPEN_READONLY);
    SqliteStatement query(database, QStringLiteral("SELECT id FROM threads "
                                                   "ORDER BY updated_at_ms DESC, rowid"));
    QStringList expected;
    while (query.step())
        expected.append(query.text(0));
    EXPECT_EQ(ids(store.loadThreads(true)), expected);
}
