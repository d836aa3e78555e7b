#include "platform/desktop/SystemCodexApplicationController.h"
#include "support/StandInPrograms.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <spawn.h>
#include <stop_token>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tolvaran;
using namespace std::chrono_literals;

namespace tolvaran {

class SystemCodexApplicationControllerTesting
{
public:
    static QList<CodexApplicationInstance>
    findTopProcesses(const SystemCodexApplicationController &controller)
    {
        return controller.findTopProcesses();
    }
    static QList<CodexApplicationInstance>
    withLaunchDetails(const QList<CodexApplicationInstance> &found)
    {
        return SystemCodexApplicationController::withLaunchDetails(found);
    }
};

} // namespace tolvaran

namespace {

// Stand-in applications: copies of sleep under a name of this test's own (the process and a
// serial), so that tests running side by side, or one after another, never see each other's.
class CodexApplicationWorld : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int serial = 0;
        name = QStringLiteral("codex-app-test-%1-%2").arg(::getpid()).arg(++serial);
        executable = fixtures::copyOfSleep(home.path(), name);
        folder = home.filePath(QStringLiteral("work folder"));
        QDir().mkpath(folder);
    }

    // A killed process goes a while later, on a loaded machine a good while: the test ends
    // once the scan no longer finds its stand-ins.
    void TearDown() override
    {
        for (qint64 processId : std::as_const(toKill))
            ::kill(pid_t(processId), SIGKILL);
        EXPECT_TRUE(
            fixtures::waitUntil([this] { return controller().runningInstances().isEmpty(); }));
    }

    // Starts the stand-in; with `ignoringQuit` it cannot be asked to quit (an ignored signal
    // stays ignored across exec).
    std::unique_ptr<QProcess> start(bool ignoringQuit = false)
    {
        auto process = std::make_unique<QProcess>();
        process->setProgram(executable);
        process->setArguments({QStringLiteral("999"), QStringLiteral("1")});
        process->setWorkingDirectory(folder);
        if (ignoringQuit)
            process->setChildProcessModifier([] { ::signal(SIGTERM, SIG_IGN); });
        process->start();
        EXPECT_TRUE(process->waitForStarted());
        toKill << process->processId();
        // A start is reported once exec has begun, and the kernel lays the arguments out a
        // moment later: the tests look for the stand-in once it runs as it was started.
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(process->processId()));
        EXPECT_TRUE(fixtures::waitUntil([&] {
            commandLine.close();
            return commandLine.open(QIODevice::ReadOnly) && !commandLine.readAll().isEmpty();
        }));
        return process;
    }

    SystemCodexApplicationController controller(int pollLimit = 100)
    {
        return SystemCodexApplicationController({name}, {10ms, pollLimit, 0ms});
    }

    fixtures::TemporaryHome home;
    QString name;
    QString executable;
    QString folder;
    QList<qint64> toKill;
};

} // namespace

TEST_F(CodexApplicationWorld, findsQuitsAndReopensTheApplicationAsItRan)
{
    const auto process = start();
    auto codex = controller(3000); // sleep quits at once; the limit only bounds a failure

    const QList<CodexApplicationInstance> found = codex.runningInstances();
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].processId, process->processId());
    EXPECT_EQ(found[0].executablePath, executable);
    EXPECT_EQ(found[0].arguments, QStringList({QStringLiteral("999"), QStringLiteral("1")}));
    EXPECT_EQ(found[0].workingDirectory, folder);

    const CodexApplicationQuitResult quit = codex.quitAll({});
    EXPECT_EQ(quit.askedToQuit, found);
    EXPECT_TRUE(quit.allQuit());
    EXPECT_EQ(quit.reopenTarget(), found[0]);
    ASSERT_TRUE(process->waitForFinished());
    EXPECT_EQ(process->exitStatus(), QProcess::CrashExit); // ended by the signal
    EXPECT_TRUE(codex.runningInstances().isEmpty());

    EXPECT_EQ(codex.reopen(*quit.reopenTarget()), DesktopActionResult::success());
    QList<CodexApplicationInstance> reopened;
    for (QDeadlineTimer deadline(30s); reopened.isEmpty() && !deadline.hasExpired();) {
        reopened = codex.runningInstances();
        QThread::msleep(20);
    }
    ASSERT_EQ(reopened.size(), 1);
    toKill << reopened[0].processId;
    EXPECT_NE(reopened[0].processId, found[0].processId);
    EXPECT_EQ(reopened[0].executablePath, executable);
    EXPECT_EQ(reopened[0].arguments, found[0].arguments);
    EXPECT_EQ(reopened[0].workingDirectory, folder);
}

// A process that ends between the walk of /proc and the reading of its arguments is not an
// instance, whether or not its parent has collected it yet.
TEST_F(CodexApplicationWorld, anInstanceThatEndsDuringTheScanIsDropped)
{
    for (const bool collected : {false, true}) {
        SCOPED_TRACE(collected ? "collected" : "not yet collected");
        const QByteArray program = QFile::encodeName(executable);
        char seconds[] = "999";
        char *const arguments[] = {const_cast<char *>(program.constData()), seconds, nullptr};
        // Killed and collected here, whatever the test's outcome.
        struct Child
        {
            pid_t id = 0;
            ~Child()
            {
                if (id > 0 && ::kill(id, SIGKILL) == 0)
                    ::waitpid(id, nullptr, 0);
            }
        } child;
        ASSERT_EQ(::posix_spawn(&child.id, program.constData(), nullptr, nullptr, arguments,
                                environ),
                  0);
        const auto ran = [this] {
            return SystemCodexApplicationControllerTesting::findTopProcesses(controller());
        };
        QList<CodexApplicationInstance> found;
        ASSERT_TRUE(fixtures::waitUntil([&] { return (found = ran()).size() == 1; }));
        ASSERT_EQ(found[0].processId, child.id);

        ::kill(child.id, SIGKILL);
        siginfo_t ended{};
        ASSERT_EQ(::waitid(P_PID, id_t(child.id), &ended, WEXITED | (collected ? 0 : WNOWAIT)),
                  0);
        if (collected)
            child.id = 0;
        EXPECT_TRUE(SystemCodexApplicationControllerTesting::withLaunchDetails(found).isEmpty());
    }
}

TEST_F(CodexApplicationWorld, anInstanceThatDoesNotQuitIsReportedAndLeftRunning)
{
    const auto stubborn = start(true);
    auto codex = controller(5);
    const CodexApplicationQuitResult quit = codex.quitAll({});
    ASSERT_EQ(quit.stillRunning.size(), 1);
    EXPECT_EQ(quit.stillRunning[0].processId, stubborn->processId());
    EXPECT_FALSE(quit.allQuit());
    EXPECT_FALSE(quit.reopenTarget());
    EXPECT_EQ(stubborn->state(), QProcess::Running);
}

TEST_F(CodexApplicationWorld, aStopRequestEndsTheWaitForAnInstanceThatDoesNotQuit)
{
    const auto stubborn = start(true);
    auto codex = controller(1'000'000); // a wait that would outlast any test
    std::stop_source stop;
    std::thread quitter([&] {
        QThread::msleep(50);
        stop.request_stop();
    });
    const CodexApplicationQuitResult quit = codex.quitAll(stop.get_token());
    quitter.join();
    ASSERT_EQ(quit.stillRunning.size(), 1);
    EXPECT_FALSE(quit.reopenTarget());
    EXPECT_EQ(stubborn->state(), QProcess::Running);
}

TEST_F(CodexApplicationWorld, withNothingRunningThereIsNothingToClose)
{
    const CodexApplicationQuitResult quit = controller().quitAll({});
    EXPECT_TRUE(quit.askedToQuit.isEmpty());
    EXPECT_TRUE(quit.allQuit());
    EXPECT_FALSE(quit.reopenTarget());
}

TEST_F(CodexApplicationWorld, theCommandLineToolIsNeverTakenForTheApplication)
{
    executable = fixtures::copyOfSleep(home.path(), QStringLiteral("codex"));
    const auto commandLine = start();
    for (const CodexApplicationInstance &instance :
         SystemCodexApplicationController().runningInstances())
        EXPECT_NE(instance.processId, commandLine->processId());
}

TEST_F(CodexApplicationWorld, helpersBelowTheApplicationAreNotInstancesOfTheirOwn)
{
    // A copy of the shell under the application's name, which starts a second copy of itself
    // (a helper) and waits for it.
    const QString shell = home.filePath(name);
    QFile::remove(shell);
    ASSERT_TRUE(QFile::copy(QStringLiteral("/bin/sh"), shell));
    const QString ready = home.filePath(QStringLiteral("helper-ready"));
    QProcess application;
    application.setProgram(shell);
    application.setArguments(
        {QStringLiteral("-c"),
         QStringLiteral("%1 -c %2; :")
             .arg(fixtures::shellQuoted(shell),
                  fixtures::shellQuoted(QStringLiteral(": > %1; /bin/sleep 1000; :")
                                            .arg(fixtures::shellQuoted(ready))))});
    application.setChildProcessModifier([] { ::setpgid(0, 0); });
    application.start();
    ASSERT_TRUE(application.waitForStarted());
    const qint64 group = application.processId();
    for (QDeadlineTimer deadline(30s); !QFileInfo::exists(ready) && !deadline.hasExpired();)
        QThread::msleep(20);
    ASSERT_TRUE(QFileInfo::exists(ready));

    const QList<CodexApplicationInstance> found = controller().runningInstances();
    ::kill(-pid_t(group), SIGKILL);
    application.waitForFinished();
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].processId, group);
}
