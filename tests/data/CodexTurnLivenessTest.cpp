#include "data/codex/CodexActivityStore.h"
#include "data/codex/CodexTurnLiveness.h"
#include "support/codex/FakeCodexHome.h"
#include "support/QtPrinters.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

const QString threadID = QStringLiteral("019a0000-0000-7000-8000-0000000000aa");

// A thread whose rollout file's last task event is "task_started": running, or killed.
class StartedTurn
{
public:
    StartedTurn()
        : codex(home.filePath(QStringLiteral(".codex")))
    {
        const Timestamp start = Timestamp::now().addingSeconds(-120);
        FakeCodexThread thread;
        thread.id = threadID;
        thread.createdAt = start;
        thread.updatedAt = start;
        rolloutPath = codex.addThread(thread);
        codex.writeRollout(threadID, FakeCodexHome::threadOpening(start, threadID, "/work/app")
                                         + FakeCodexHome::turn(start, "Fix the parser",
                                                               FakeTurnEnd::running));
    }

    CodexThread thread() const
    {
        CodexThread thread;
        thread.id = threadID;
        thread.rolloutPath = rolloutPath;
        return thread;
    }

    TemporaryHome home;
    FakeCodexHome codex;
    QString rolloutPath;
};

bool processing(CodexActivityStore &store, const StartedTurn &turn)
{
    return store.processingThreadIDs({turn.thread()}).contains(threadID);
}

TEST(CodexTurnLiveness, aStartedTurnThatNoProcessHasOpenIsIdle)
{
    StartedTurn turn;
    CodexActivityStore store(CodexTurnLiveness::forCodexHome(turn.codex.path()));
    EXPECT_FALSE(processing(store, turn));
    // Without any check the rollout file alone decides, as before.
    CodexActivityStore unchecked;
    EXPECT_TRUE(processing(unchecked, turn));
}

TEST(CodexTurnLiveness, aTurnIsProcessingWhileACodexProcessHoldsItsRolloutOpen)
{
    for (const bool holdsWriterLock : {false, true}) {
        SCOPED_TRACE(holdsWriterLock ? "with the writer lock" : "rollout file only");
        StartedTurn turn;
        CodexActivityStore store(CodexTurnLiveness::forCodexHome(turn.codex.path()));
        auto codex = turn.codex.startCodex(threadID, holdsWriterLock);
        EXPECT_TRUE(processing(store, turn));
        codex->kill();
        EXPECT_FALSE(processing(store, turn));
        if (holdsWriterLock) {
            EXPECT_TRUE(QFileInfo::exists(turn.codex.writerLockPath(threadID)));
        }
    }
}

// A busy machine starts and ends processes all the time; one that ends while the scan looks at
// its open files is gone, not hiding them, so the scan still says that nobody has the file
// open. (A race: each round of checks meets a few such ends at most.)
TEST(CodexTurnLiveness, processesEndingDuringTheCheckLeaveItsVerdict)
{
    StartedTurn turn;
    const CodexTurnLiveness liveness = CodexTurnLiveness::forCodexHome(turn.codex.path());
    std::atomic<bool> stop = false;
    std::vector<std::thread> starters;
    for (int i = 0; i < 4; ++i) {
        starters.emplace_back([&stop] {
            char program[] = "/bin/true";
            char *const arguments[] = {program, nullptr};
            while (!stop) {
                pid_t child = 0;
                if (::posix_spawn(&child, program, nullptr, nullptr, arguments, environ) == 0)
                    ::waitpid(child, nullptr, 0);
            }
        });
    }
    int unknown = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < end) {
        if (liveness.verdicts({{threadID, turn.rolloutPath}}).value(threadID)
            != CodexTurnLiveness::Verdict::dead) {
            ++unknown;
        }
    }
    stop = true;
    for (std::thread &starter : starters)
        starter.join();
    EXPECT_EQ(unknown, 0);
}

TEST(CodexTurnLiveness, aCodexThatEndsNormallyLeavesNoWorkingTurn)
{
    StartedTurn turn;
    CodexActivityStore store(CodexTurnLiveness::forCodexHome(turn.codex.path()));
    auto codex = turn.codex.startCodex(threadID);
    ASSERT_TRUE(processing(store, turn));
    codex->exitNormally();
    EXPECT_FALSE(processing(store, turn));
}

TEST(CodexTurnLiveness, checkingTakesNoLockAndWritesNothingInCodexsFolder)
{
    StartedTurn turn;
    auto codex = turn.codex.startCodex(threadID);
    const QString lockPath = turn.codex.writerLockPath(threadID);
    struct stat before{};
    ASSERT_EQ(::stat(QFile::encodeName(lockPath).constData(), &before), 0);
    const QStringList entries = QDir(turn.codex.path()).entryList(QDir::AllEntries);

    const auto verdicts = CodexTurnLiveness::forCodexHome(turn.codex.path())
                              .verdicts({{threadID, turn.rolloutPath}});
    EXPECT_EQ(verdicts.value(threadID), CodexTurnLiveness::Verdict::alive);

    struct stat after{};
    ASSERT_EQ(::stat(QFile::encodeName(lockPath).constData(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_atim.tv_sec, before.st_atim.tv_sec);
    EXPECT_EQ(QDir(turn.codex.path()).entryList(QDir::AllEntries), entries);
}

// A process file system written by the test: the lock table as given, and one process of
// this user whose descriptors cannot be listed (as a Codex that made itself non-dumpable
// hides them from its own user).
struct FakeProcRoot
{
    std::optional<QByteArray> locks; // absent: no lock table
    bool hiddenOwnProcess = true;
    bool hiddenOtherUsersProcess = false;
};

QString writeProcRoot(const TemporaryHome &home, const FakeProcRoot &proc)
{
    const QString root = home.filePath(QStringLiteral("proc"));
    QDir().mkpath(root);
    if (proc.locks)
        home.writeFile(QStringLiteral("proc/locks"), *proc.locks);
    const auto process = [&](const QString &pid, uint uid) {
        // A file where the fd folder belongs cannot be listed, like a folder one may not read.
        home.writeFile(QStringLiteral("proc/%1/fd").arg(pid), {});
        home.writeFile(QStringLiteral("proc/%1/status").arg(pid),
                       QStringLiteral("Name:\tcodex\nUid:\t%1\t%1\t%1\t%1\n").arg(uid).toUtf8());
    };
    if (proc.hiddenOwnProcess)
        process(QStringLiteral("4242"), ::getuid());
    if (proc.hiddenOtherUsersProcess)
        process(QStringLiteral("4343"), ::getuid() + 1);
    return root;
}

TEST(CodexTurnLiveness, verdictsFromTheLockTableAndTheOpenFiles)
{
    using Verdict = CodexTurnLiveness::Verdict;
    struct Row
    {
        const char *name;
        bool lockFileLeft;
        // The lock table; "%1" stands for the inode of the thread's lock file.
        std::optional<QString> locks;
        bool hiddenOwnProcess;
        bool hiddenOtherUsersProcess;
        Verdict expected;
    };
    const QString held = QStringLiteral("1: FLOCK  ADVISORY  WRITE 4242 fe:01:%1 0 EOF\n");
    const QString waiting =
        QStringLiteral("1: FLOCK  ADVISORY  WRITE 99 fe:01:7 0 EOF\n"
                       "1: -> FLOCK  ADVISORY  WRITE 4242 fe:01:%1 0 EOF\n");
    const Row rows[] = {
        {"lock held, descriptors hidden", true, held, true, false, Verdict::alive},
        {"lock file left unlocked (killed)", true, QString(), true, false, Verdict::dead},
        {"only a waiter for the lock", true, waiting, true, false, Verdict::dead},
        {"no lock file, descriptors hidden", false, QString(), true, false, Verdict::unknown},
        {"lock table unreadable", true, std::nullopt, true, false, Verdict::unknown},
        {"another user's hidden process", false, QString(), false, true, Verdict::dead},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        StartedTurn turn;
        const QString lockPath = turn.codex.writerLockPath(threadID);
        if (row.lockFileLeft)
            turn.home.writeFile(QStringLiteral(".codex/thread-writer-locks/") + threadID
                                    + QStringLiteral(".lock"),
                                {});
        std::optional<QByteArray> locks;
        if (row.locks) {
            struct stat lockFile{};
            const bool exists = ::stat(QFile::encodeName(lockPath).constData(), &lockFile) == 0;
            locks = QString(*row.locks)
                        .replace(QStringLiteral("%1"),
                                 QString::number(exists ? lockFile.st_ino : 1))
                        .toUtf8();
        }
        const QString procRoot = writeProcRoot(
            turn.home, {locks, row.hiddenOwnProcess, row.hiddenOtherUsersProcess});
        const CodexTurnLiveness liveness(QFileInfo(lockPath).absolutePath(), procRoot);
        EXPECT_EQ(liveness.verdicts({{threadID, turn.rolloutPath}}).value(threadID),
                  row.expected);
    }
}

TEST(CodexTurnLiveness, withNothingToCheckTheRolloutRuleHolds)
{
    StartedTurn turn;
    const CodexTurnLiveness noProc(turn.codex.path() + "/thread-writer-locks",
                                   turn.home.filePath("no-proc-here"));
    CodexActivityStore store(noProc);
    EXPECT_TRUE(processing(store, turn));
}

TEST(CodexTurnLiveness, aThreadIDThatIsNoFileNameIsNotLookedUpAsALock)
{
    StartedTurn turn;
    // A lock "file" outside the lock folder, reachable only through "..".
    const QString evil = turn.home.writeFile(QStringLiteral(".codex/evil.lock"), {});
    struct stat evilFile{};
    ASSERT_EQ(::stat(QFile::encodeName(evil).constData(), &evilFile), 0);
    const QString procRoot = writeProcRoot(
        turn.home, {QStringLiteral("1: FLOCK  ADVISORY  WRITE 1 fe:01:%1 0 EOF\n")
                        .arg(evilFile.st_ino)
                        .toUtf8()});
    const CodexTurnLiveness liveness(turn.codex.path() + "/thread-writer-locks", procRoot);
    EXPECT_EQ(liveness.verdicts({{"../evil", turn.rolloutPath}}).value("../evil"),
              CodexTurnLiveness::Verdict::unknown);
}

} // namespace
