#include "platform/ProcessRunner.h"
#include "support/TemporaryHome.h"

#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>


using namespace tolvaran;

TEST(ProcessRunner, capturesOutputExitCodeAndEnvironment)
{
    ProcessRequest request;
    request.program = QStringLiteral("/bin/sh");
    request.arguments = {QStringLiteral("-c"),
                         QStringLiteral("printf '%s' \"$GIT_OPTIONAL_LOCKS\"; echo oops >&2; exit 3")};
    request.environment = {{QStringLiteral("GIT_OPTIONAL_LOCKS"), QStringLiteral("0")}};
    const ProcessResult result = ProcessRunner::run(request);
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.standardOutput, QByteArray("0"));
    EXPECT_EQ(result.standardError, QByteArray("oops\n"));
}

TEST(ProcessRunner, argumentsAreNeverInterpretedByAShell)
{
    ProcessRequest request;
    request.program = QStringLiteral("/bin/echo");
    request.arguments = {QStringLiteral("$(touch /tmp/never); `id`")};
    const ProcessResult result = ProcessRunner::run(request);
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(result.standardOutput, QByteArray("$(touch /tmp/never); `id`\n"));
}

TEST(ProcessRunner, missingProgramIsReportedAsNotStarted)
{
    ProcessRequest request;
    request.program = QStringLiteral("/nonexistent/program");
    const ProcessResult result = ProcessRunner::run(request);
    EXPECT_FALSE(result.started);
    EXPECT_FALSE(result.succeeded());
    EXPECT_FALSE(result.errorMessage.isEmpty());
}

TEST(ProcessRunner, timeLimitEndsTheWholeProcessGroup)
{
    fixtures::TemporaryHome home;
    const QString pidFile = home.filePath(QStringLiteral("grandchild.pid"));
    ProcessRequest request;
    request.program = QStringLiteral("/bin/sh");
    // The grandchild outlives its parent unless the whole group is killed.
    request.arguments = {QStringLiteral("-c"),
                         QStringLiteral("sleep 30 & echo $! > '%1'; wait").arg(pidFile)};
    request.timeoutMilliseconds = 500;
    const ProcessResult result = ProcessRunner::run(request);
    EXPECT_TRUE(result.timedOut);
    EXPECT_FALSE(result.succeeded());
    QFile file(pidFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const pid_t grandchild = file.readAll().trimmed().toInt();
    ASSERT_GT(grandchild, 0);
    bool gone = false;
    for (int i = 0; i < 100 && !gone; ++i) {
        // Gone, or a zombie waiting for whoever inherited it to reap it.
        QFile stat(QStringLiteral("/proc/%1/stat").arg(grandchild));
        gone = !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
        if (!gone)
            QThread::msleep(50);
    }
    EXPECT_TRUE(gone);
}

TEST(ProcessRunner, aStopRequestEndsTheChildLongBeforeItsTimeLimit)
{
    std::stop_source stop;
    ProcessRequest request;
    request.program = QStringLiteral("/bin/sleep");
    request.arguments = {QStringLiteral("60")};
    request.timeoutMilliseconds = 60'000;
    request.stopToken = stop.get_token();
    // The stop is meant to come while the child runs; the run blocks and shows nothing of its
    // progress, so this waits a bounded time (a stop that came earlier ends it the same way).
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop.request_stop();
    });
    const ProcessResult result = ProcessRunner::run(request);
    stopper.join();
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.timedOut);
    EXPECT_FALSE(result.succeeded());
}

TEST(ProcessRunner, largeOutputThroughAFile)
{
    ProcessRequest request;
    request.program = QStringLiteral("/bin/sh");
    request.arguments = {QStringLiteral("-c"), QStringLiteral("head -c 3000000 /dev/zero")};
    request.outputToFile = true;
    const ProcessResult result = ProcessRunner::run(request);
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(result.standardOutput.size(), 3000000);
}

TEST(ProcessRunner, outputFileIsReadBackOnlyUpToTheLimit)
{
    ProcessRequest request;
    request.program = QStringLiteral("/bin/sh");
    request.arguments = {QStringLiteral("-c"), QStringLiteral("head -c 100000 /dev/zero")};
    request.outputToFile = true;
    request.maximumOutputBytes = 4096;
    const ProcessResult result = ProcessRunner::run(request);
    ASSERT_TRUE(result.succeeded());
    EXPECT_EQ(result.standardOutput.size(), 4096);
}

// Standard input larger than a pipe holds, to children that do not take it as expected.
TEST(ProcessRunner, standardInputNeverOutlivesTheTimeLimitOrEndsTheProgram)
{
    const QByteArray input(4 * 1024 * 1024, 'x');
    struct Row
    {
        const char *name;
        QString script;
        bool timedOut;
        bool crashed;
        int exitCode;
    };
    const Row rows[] = {
        // Never reads: the write would wait for ever; the time limit ends it.
        {"never reads", QStringLiteral("sleep 30"), true, false, -1},
        // Gone before the input is written: the write fails (SIGPIPE) and must not end us.
        {"exits at once", QStringLiteral("exit 0"), false, false, 0},
        {"reads a little, then exits", QStringLiteral("head -c 10 >/dev/null; exit 4"), false,
         false, 4},
        {"killed by a signal", QStringLiteral("kill -KILL $$"), false, true, -1},
    };
    for (const Row &row : rows) {
        ProcessRequest request;
        request.program = QStringLiteral("/bin/sh");
        request.arguments = {QStringLiteral("-c"), row.script};
        request.standardInput = input;
        request.timeoutMilliseconds = 1000;
        const ProcessResult result = ProcessRunner::run(request);
        EXPECT_TRUE(result.started) << row.name;
        EXPECT_EQ(result.timedOut, row.timedOut) << row.name;
        EXPECT_EQ(result.crashed, row.crashed) << row.name;
        EXPECT_FALSE(result.succeeded() && row.exitCode != 0) << row.name;
        if (!row.timedOut && !row.crashed) {
            EXPECT_EQ(result.exitCode, row.exitCode) << row.name;
        }
    }
}

TEST(ProcessRunner, discardedOutputIsNeitherKeptNorBlocking)
{
    ProcessRequest request;
    request.program = QStringLiteral("/bin/sh");
    request.arguments = {QStringLiteral("-c"),
                         QStringLiteral("head -c 3000000 /dev/zero;"
                                        "head -c 3000000 /dev/zero >&2")};
    request.discardOutput = true;
    const ProcessResult result = ProcessRunner::run(request);
    ASSERT_TRUE(result.succeeded());
    EXPECT_TRUE(result.standardOutput.isEmpty());
    EXPECT_TRUE(result.standardError.isEmpty());
}
