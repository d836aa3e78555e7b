#include "data/codex/CodexActivityNotifier.h"
#include "data/codex/CodexActivityStore.h"
#include "support/codex/FakeCodexHome.h"
#include "support/QtPrinters.h"
#include "support/codex/RolloutLines.h"
#include "support/TemporaryHome.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

const Timestamp start = Timestamp::now().addingSeconds(-600);
const QString threadID = QStringLiteral("019a0000-0000-7000-8000-000000000001");

class CodexActivityStoreTest : public ::testing::Test
{
protected:
    CodexActivityStoreTest()
        : codex(home.filePath(QStringLiteral(".codex")))
    {
        FakeCodexThread thread;
        thread.id = threadID;
        thread.createdAt = start;
        thread.updatedAt = start;
        rolloutPath = codex.addThread(thread);
    }

    CodexThread codexThread() const
    {
        CodexThread thread;
        thread.id = threadID;
        thread.rolloutPath = rolloutPath;
        return thread;
    }

    bool processing() { return store.processingThreadIDs({codexThread()}).contains(threadID); }

    TemporaryHome home;
    FakeCodexHome codex;
    QString rolloutPath;
    CodexActivityStore store;
};

QByteArray opening()
{
    return FakeCodexHome::threadOpening(start, threadID, QStringLiteral("/work/app"));
}

QByteArray assistantLines(qsizetype bytes)
{
    QByteArray lines;
    const QString text(200, QLatin1Char('x'));
    while (lines.size() < bytes)
        lines += rollout::assistantMessage(start, text);
    return lines;
}

struct ProcessingCase
{
    const char *name;
    QByteArray contents;
    bool processing;
};

} // namespace

TEST_F(CodexActivityStoreTest, lastTaskEventDecidesProcessing)
{
    const QByteArray running = opening() + FakeCodexHome::turn(start, QStringLiteral("Go"),
                                                               FakeTurnEnd::running);
    const QByteArray completeLine = rollout::taskComplete(start.addingSeconds(9));
    const QList<ProcessingCase> cases = {
        {"running turn", running, true},
        {"other events after the start", running + rollout::tokenCountWithoutInfo(start)
             + rollout::taskEvent(start, QStringLiteral("item_completed")), true},
        {"completed", running + completeLine, false},
        {"failed", opening() + FakeCodexHome::turn(start, QStringLiteral("Go"),
                                                   FakeTurnEnd::failed), false},
        {"interrupted", opening() + FakeCodexHome::turn(start, QStringLiteral("Go"),
                                                        FakeTurnEnd::interrupted), false},
        {"task_failed", running + rollout::taskEvent(start, QStringLiteral("task_failed")), false},
        {"task_cancelled", running + rollout::taskEvent(start, QStringLiteral("task_cancelled")),
         false},
        {"no task event at all", opening() + rollout::userMessage(start, QStringLiteral("Hi")),
         false},
        {"empty file", QByteArray(), false},
        {"half-written last line", running + completeLine.left(completeLine.size() / 2), true},
        {"complete last line without its line feed", running + completeLine.chopped(1), false},
        {"malformed lines", running + "{not json\n[1,2]\n\n{\"type\":\"event_msg\"}\n", true},
        {"start far before the end (many chunks)", running + assistantLines(300000), true},
        {"start before one line of many chunks",
         running + rollout::assistantMessage(start, QString(300000, QLatin1Char('y'))), true},
        {"end before the start in an earlier chunk",
         completeLine + assistantLines(200000) + rollout::taskStarted(start), true},
    };
    for (const ProcessingCase &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        CodexActivityStore fresh;
        codex.writeRollout(threadID, testCase.contents);
        EXPECT_EQ(fresh.processingThreadIDs({codexThread()}).contains(threadID),
                  testCase.processing);
    }
}

TEST_F(CodexActivityStoreTest, followsAppendedLines)
{
    codex.writeRollout(threadID, opening() + FakeCodexHome::turn(start, QStringLiteral("Go"),
                                                                 FakeTurnEnd::running));
    EXPECT_TRUE(processing());
    codex.appendRolloutLines(threadID, rollout::assistantMessage(start, QStringLiteral("…")));
    EXPECT_TRUE(processing()) << "lines without a task event keep the answer";

    // Codex is half-way through writing the end of the task: the half line decides nothing
    // and is read again, whole, on the next call.
    const QByteArray complete = rollout::taskComplete(start);
    codex.appendRolloutLines(threadID, complete.left(20));
    EXPECT_TRUE(processing());
    codex.appendRolloutLines(threadID, complete.mid(20));
    EXPECT_FALSE(processing());

    codex.appendRolloutLines(threadID, FakeCodexHome::turn(start, QStringLiteral("More"),
                                                           FakeTurnEnd::running));
    EXPECT_TRUE(processing());
    codex.appendRolloutLines(threadID, rollout::turnAborted(start));
    EXPECT_FALSE(processing());
}

TEST_F(CodexActivityStoreTest, rewrittenShorterFileIsReadFromItsEndAgain)
{
    codex.writeRollout(threadID, opening() + assistantLines(5000) + rollout::taskComplete(start));
    EXPECT_FALSE(processing());
    codex.writeRollout(threadID, rollout::taskStarted(start));
    EXPECT_TRUE(processing());
}

TEST_F(CodexActivityStoreTest, fileUntouchedForADayIsIdleWithoutBeingRead)
{
    codex.writeRollout(threadID, opening() + FakeCodexHome::turn(start, QStringLiteral("Go"),
                                                                 FakeTurnEnd::running));
    codex.setRolloutModificationTime(threadID, Timestamp::now().addingSeconds(-25 * 3600));
    EXPECT_FALSE(processing());

    // Had the old content been read, its start would decide now; instead only what Codex
    // appends from today on is read.
    codex.appendRolloutLines(threadID, rollout::assistantMessage(start, QStringLiteral("…")));
    EXPECT_FALSE(processing());
    codex.appendRolloutLines(threadID, rollout::taskStarted(start));
    EXPECT_TRUE(processing());
}

TEST_F(CodexActivityStoreTest, missingFileIsIdle)
{
    EXPECT_FALSE(processing());
    CodexThread noRollout = codexThread();
    noRollout.rolloutPath.clear();
    EXPECT_TRUE(store.processingThreadIDs({noRollout}).isEmpty());
}

TEST_F(CodexActivityStoreTest, managedThreadsCountOnlyWhenAsked)
{
    int notices = 0;
    const QMetaObject::Connection connection =
        QObject::connect(CodexActivityNotifier::instance(),
                         &CodexActivityNotifier::codexAppManagedProcessingChanged,
                         [&notices] { ++notices; });
    CodexActivityStore::setManagedProcessing(QStringLiteral("managed"), true);
    CodexActivityStore::setManagedProcessing(QStringLiteral("managed"), true);
    EXPECT_EQ(notices, 1) << "only a change is announced";

    CodexThread managed;
    managed.id = QStringLiteral("managed");
    EXPECT_EQ(store.processingThreadIDs({codexThread()}), QSet<QString>());
    EXPECT_EQ(store.processingThreadIDs({codexThread(), managed}),
              QSet<QString>{QStringLiteral("managed")});

    CodexActivityStore::setManagedProcessing(QStringLiteral("managed"), false);
    EXPECT_EQ(notices, 2);
    EXPECT_TRUE(CodexActivityStore::managedProcessingThreadIDs().isEmpty());
    QObject::disconnect(connection);
}

namespace {

struct RequestCase
{
    const char *name;
    QByteArray contents;
    std::optional<QString> request;
};

} // namespace

TEST_F(CodexActivityStoreTest, latestUserRequest)
{
    const auto user = [](const QString &text) { return rollout::userMessage(start, text); };
    const QString decomposed = QStringLiteral("e\u0301");
    const QList<RequestCase> cases = {
        {"plain", opening() + user(QStringLiteral("Fix the bug")) + rollout::taskStarted(start),
         QStringLiteral("Fix the bug")},
        {"the latest of several", user(QStringLiteral("First")) + user(QStringLiteral("Second")),
         QStringLiteral("Second")},
        {"after the last request marker",
         user(QStringLiteral("## My request: old\nContext\n## My request:  Add tests \n")),
         QStringLiteral("Add tests")},
        {"on one line", user(QStringLiteral("line one\n\n  line   two\t end")),
         QStringLiteral("line one line two end")},
        {"items joined", rollout::userMessage(start, {QStringLiteral("Part one"),
                                                      QStringLiteral("part two")}),
         QStringLiteral("Part one part two")},
        {"cut to 4000 characters", user(decomposed.repeated(4100)), decomposed.repeated(4000)},
        {"assistant messages are not requests",
         user(QStringLiteral("Ask")) + rollout::assistantMessage(start, QStringLiteral("Answer")),
         QStringLiteral("Ask")},
        {"blank request skipped", user(QStringLiteral("Earlier")) + user(QStringLiteral("  \n ")),
         QStringLiteral("Earlier")},
        {"message without input text skipped",
         user(QStringLiteral("Earlier"))
             + QByteArray("{\"type\":\"response_item\",\"payload\":{\"type\":\"message\","
                          "\"role\":\"user\",\"content\":[{\"type\":\"input_image\","
                          "\"image_url\":\"data:\"}]}}\n"),
         QStringLiteral("Earlier")},
        {"Codex's notice after an interrupt is not the user's",
         opening() + FakeCodexHome::turn(start, QStringLiteral("Real request"),
                                         FakeTurnEnd::interrupted),
         QStringLiteral("Real request")},
        {"Codex's environment context is not the user's", opening(), std::nullopt},
        {"within the last 2 MiB", user(QStringLiteral("Near")) + assistantLines(1900000),
         QStringLiteral("Near")},
        {"beyond the last 2 MiB", user(QStringLiteral("Far")) + assistantLines(2200000),
         std::nullopt},
        {"empty file", QByteArray(), std::nullopt},
    };
    for (const RequestCase &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        CodexActivityStore fresh;
        codex.writeRollout(threadID, testCase.contents);
        EXPECT_EQ(fresh.latestUserRequest(rolloutPath), testCase.request);
    }
    EXPECT_EQ(store.latestUserRequest(home.filePath(QStringLiteral("missing.jsonl"))),
              std::nullopt);
    EXPECT_EQ(store.latestUserRequest(QString()), std::nullopt);
}

TEST_F(CodexActivityStoreTest, latestUserRequestIsReadAgainWhenTheFileChanges)
{
    const Timestamp written = start.addingSeconds(60);
    codex.writeRollout(threadID, rollout::userMessage(start, QStringLiteral("One")));
    codex.setRolloutModificationTime(threadID, written);
    EXPECT_EQ(store.latestUserRequest(rolloutPath), QStringLiteral("One"));
    codex.writeRollout(threadID, rollout::userMessage(start, QStringLiteral("Two")));
    codex.setRolloutModificationTime(threadID, written);
    EXPECT_EQ(store.latestUserRequest(rolloutPath), QStringLiteral("One"))
        << "the answer is kept for a file of the same size and time";
    codex.setRolloutModificationTime(threadID, written.addingSeconds(1));
    EXPECT_EQ(store.latestUserRequest(rolloutPath), QStringLiteral("Two"));
    codex.appendRolloutLines(threadID, rollout::userMessage(start, QStringLiteral("Three")));
    EXPECT_EQ(store.latestUserRequest(rolloutPath), QStringLiteral("Three"));
}

TEST_F(CodexActivityStoreTest, latestRequestsKeptFromAnEarlierRunAreUsedWhileFilesMatch)
{
    codex.writeRollout(threadID, rollout::userMessage(start, QStringLiteral("Fix the parser")));
    codex.setRolloutModificationTime(threadID, start);
    EXPECT_EQ(store.latestUserRequest(rolloutPath), QStringLiteral("Fix the parser"));
    CodexActivityStore::UserRequestChanges changes = store.takeUserRequestChanges();
    ASSERT_EQ(changes.read.size(), 1);
    EXPECT_TRUE(changes.removed.isEmpty());
    EXPECT_TRUE(store.takeUserRequestChanges().isEmpty()) << "changes are handed over once";

    // The next run is told what was read; a record that still matches the file is used as it
    // is (the text below proves the file was not read), one that does not is read again.
    RolloutRequestRecord kept = changes.read.first();
    EXPECT_EQ(kept.rolloutPath, rolloutPath);
    kept.request = QStringLiteral("Kept from the last run");
    CodexActivityStore next;
    next.seedUserRequests({kept});
    EXPECT_EQ(next.latestUserRequest(rolloutPath), QStringLiteral("Kept from the last run"));
    EXPECT_TRUE(next.takeUserRequestChanges().isEmpty());
    codex.setRolloutModificationTime(threadID, start.addingSeconds(5));
    EXPECT_EQ(next.latestUserRequest(rolloutPath), QStringLiteral("Fix the parser"));
    EXPECT_EQ(next.takeUserRequestChanges().read.size(), 1);

    // A seed never replaces what this run read; a rollout gone is reported for removal.
    next.seedUserRequests({kept});
    EXPECT_EQ(next.latestUserRequest(rolloutPath), QStringLiteral("Fix the parser"));
    QFile::remove(rolloutPath);
    EXPECT_EQ(next.latestUserRequest(rolloutPath), std::nullopt);
    EXPECT_EQ(next.takeUserRequestChanges().removed, QStringList{rolloutPath});
}

TEST_F(CodexActivityStoreTest, watchedLatestRequestsLookOnlyAtRolloutsReportedChanged)
{
    FakeCodexThread second;
    second.id = QStringLiteral("019a0000-0000-7000-8000-000000000002");
    second.createdAt = start;
    second.updatedAt = start;
    const QString secondPath = codex.addThread(second);
    const auto write = [&](const QString &id, const QString &request) {
        codex.writeRollout(id, rollout::userMessage(start, request));
    };
    const auto requests = [&] {
        QStringList answers;
        for (const auto &request : store.latestUserRequests({rolloutPath, secondPath}))
            answers.append(request.value_or(QStringLiteral("-")));
        return answers;
    };
    write(threadID, QStringLiteral("First one"));
    write(second.id, QStringLiteral("Second one"));
    store.setRolloutChangesWatched(true);
    EXPECT_EQ(requests(),
              (QStringList{QStringLiteral("First one"), QStringLiteral("Second one")}));

    // Both files change (in size too), only the first is reported: the second keeps its
    // answer, which shows its file was not looked at; the first is read again.
    write(threadID, QStringLiteral("First, rewritten"));
    write(second.id, QStringLiteral("Second, rewritten"));
    store.noteRolloutChanges({rolloutPath});
    EXPECT_EQ(requests(),
              (QStringList{QStringLiteral("First, rewritten"), QStringLiteral("Second one")}));
    EXPECT_EQ(requests(),
              (QStringList{QStringLiteral("First, rewritten"), QStringLiteral("Second one")}))
        << "a report is used once";

    // Changes were lost: every file is looked at again, and one gone is found gone.
    QFile::remove(rolloutPath);
    store.noteRolloutChangesMissed();
    EXPECT_EQ(requests(),
              (QStringList{QStringLiteral("-"), QStringLiteral("Second, rewritten")}));
    EXPECT_EQ(store.takeUserRequestChanges().removed, QStringList{rolloutPath});

    // A rollout not read yet is read whatever the monitor said.
    write(threadID, QStringLiteral("First, back"));
    EXPECT_EQ(requests(),
              (QStringList{QStringLiteral("First, back"), QStringLiteral("Second, rewritten")}));

    // Once nothing watches, every file is looked at on every call.
    store.setRolloutChangesWatched(false);
    write(second.id, QStringLiteral("Second, unwatched"));
    EXPECT_EQ(requests(),
              (QStringList{QStringLiteral("First, back"), QStringLiteral("Second, unwatched")}));
}

namespace {

// The bytes this process has read through read(2) and its kin so far.
qint64 bytesReadByProcess()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar: "))
            return line.mid(7).toLongLong();
    }
    return -1;
}

} // namespace

TEST_F(CodexActivityStoreTest, hugeUnfinishedLastLineIsReadBoundedAndOnlyOnce)
{
    constexpr qint64 megabyte = 1024 * 1024;
    const struct
    {
        const char *name;
        qint64 tailBytes;
        bool processing;
    } cases[] = {
        // Longer than any task event but within one check's reach: passed over, and the
        // start of the turn before it still decides.
        {"a long line", 2 * qint64(CodexActivityStore::maximumTaskEventLineBytes), true},
        // Beyond one check's reach: nothing decides, the thread is idle.
        {"an endless line", qint64(CodexActivityStore::maximumProcessingScanBytes) + megabyte,
         false},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.name);
        CodexActivityStore fresh;
        codex.writeRollout(threadID, opening() + FakeCodexHome::turn(start, QStringLiteral("Go"),
                                                                     FakeTurnEnd::running));
        // A line Codex never ended: zero bytes (a sparse file costs no disk).
        QFile file(rolloutPath);
        ASSERT_TRUE(file.resize(file.size() + row.tailBytes));

        const qint64 before = bytesReadByProcess();
        ASSERT_GE(before, 0);
        EXPECT_EQ(fresh.processingThreadIDs({codexThread()}).contains(threadID), row.processing);
        const qint64 first = bytesReadByProcess() - before;
        EXPECT_LE(first, qint64(CodexActivityStore::maximumProcessingScanBytes) + megabyte);

        // The file did not change: the next check reads none of it again.
        const qint64 again = bytesReadByProcess();
        EXPECT_EQ(fresh.processingThreadIDs({codexThread()}).contains(threadID), row.processing);
        EXPECT_LT(bytesReadByProcess() - again, megabyte);
    }
}
