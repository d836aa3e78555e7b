#include "UpdateWorld.h"
#include "support/QtPrinters.h"
#include "support/update/ReleaseBuilder.h"
#include "support/StandInPrograms.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "update/AppUpdateInstaller.h"
#include "update/ApplicationFolder.h"
#include "update/UpdateLeftovers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <unistd.h>

namespace tolvaran {
namespace {

using fixtures::UpdateWorld;
using fixtures::waitUntil;
using namespace std::chrono_literals;

// Every rename of the swap takes this long, so that a kill lands between steps often.
constexpr auto slowRename = 300ms;

// How the swap goes.
enum class Swap {
    exchange,       // the file system exchanges the two folders in one step
    renames,        // it cannot: the folders move with renames
    failingNewCopy, // the new copy ends with a failure at once, so the old one comes back
};

// One installation as the script finds it once the program has quit: the running copy at
// apps/Tolvaran, the verified new one staged beside it, the work folder, and a slow mv first
// on the script's PATH. Each copy's program runs a while when started, but a failing new copy.
class SwapWorld
{
public:
    explicit SwapWorld(Swap swap)
        : m_swap(swap)
    {
        const QString helper = UpdateWorld::folderExchangeDelegation(slowRename);
        const QString runs = QStringLiteral("sleep 3\n");
        fixtures::ReleaseBuilder::writeApplicationFolder(
            running(), UpdateWorld::runningVersion,
            (swap == Swap::renames ? UpdateWorld::folderExchangeRefusal() : QString()) + helper
                + runs);
        fixtures::ReleaseBuilder::writeApplicationFolder(
            staged(), UpdateWorld::newVersion,
            helper + (swap == Swap::failingNewCopy ? QStringLiteral("exit 3\n") : runs));
        QDir().mkpath(cleanup());
        QDir().mkpath(bin());
        script = home.writeFile("work/install-update.sh",
                                AppUpdateInstaller::installerScript().toUtf8());
        fixtures::writeScript(bin(), "mv",
                              QStringLiteral("sleep %1\nexec /bin/mv \"$@\"\n")
                                  .arg(double(slowRename.count()) / 1000.0));
    }

    QString running() const { return home.filePath("apps/Tolvaran"); }
    QString staged() const { return home.filePath("apps/.Tolvaran.update-T"); }
    QString backup() const { return home.filePath("apps/.Tolvaran.backup-T"); }
    QString cleanup() const { return home.filePath("work"); }
    QString bin() const { return home.filePath("bin"); }

    // Starts the script in a process group of its own, as the program starts it.
    void start(qint64 endedProcessID)
    {
        m_script = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", bin() + ':' + environment.value("PATH"));
        m_script->setProcessEnvironment(environment);
        m_script->setChildProcessModifier([] { ::setsid(); });
        m_script->start("/bin/sh", {script, QString::number(endedProcessID), running(),
                                    running(), staged(), backup(), cleanup(), "1"});
        m_script->waitForStarted();
    }
    // Kills the script and everything it started at once.
    void kill()
    {
        if (m_script->processId() > 0)
            ::kill(-pid_t(m_script->processId()), SIGKILL);
        m_script->waitForFinished();
    }
    bool finished() const { return m_script->state() == QProcess::NotRunning; }

    // The version of the whole copy at the install path; empty when there is none.
    QString installedVersion() const
    {
        if (!QFileInfo(running() + "/bin/tolvaran").isExecutable())
            return {};
        try {
            return ApplicationFolder::readMetadata(running()).version;
        } catch (const std::exception &) {
            return {};
        }
    }
    // Whether the install path holds a copy that starts: the old one, or a new one that does.
    bool holdsACopyThatStarts() const
    {
        const QString version = installedVersion();
        return version == UpdateWorld::runningVersion
               || (version == UpdateWorld::newVersion && m_swap != Swap::failingNewCopy);
    }
    // What is beside the install path but the installed copy.
    QStringList leftovers() const
    {
        QStringList entries = QDir(home.filePath("apps"))
                                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                             | QDir::NoDotAndDotDot);
        entries.removeOne("Tolvaran");
        return entries;
    }

    fixtures::TemporaryHome home;
    QString script;

private:
    Swap m_swap;
    std::unique_ptr<QProcess> m_script;
};

qint64 endedProcessID()
{
    QProcess done;
    done.start("true");
    done.waitForFinished();
    return done.processId() > 0 ? done.processId() : 999'999;
}

// Installations of each kind, each killed (the script and all it started) at another moment,
// spread over the time a whole one takes: the install path holds a copy that starts
// every time (the old one, or the new one when it starts), never nothing and never a new copy
// that fails; and the next start of the installed copy leaves nothing else beside it.
TEST(InstallerScriptKill, theInstallPathAlwaysHoldsACopyThatStarts)
{
    struct Row
    {
        const char *name;
        Swap swap;
    };
    const Row rows[] = {
        {"the file system exchanges the folders", Swap::exchange},
        {"the file system cannot exchange", Swap::renames},
        {"the new copy fails at once", Swap::failingNewCopy},
    };
    // A kill lands in every window of the script longer than a thirtieth of a run.
    constexpr int trials = 30;
    constexpr int atOnce = 10;
    const qint64 ended = endedProcessID();

    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QElapsedTimer timer;
        {
            SwapWorld whole(row.swap);
            timer.start();
            whole.start(ended);
            ASSERT_TRUE(QTest::qWaitFor([&] { return whole.finished(); }, 60'000));
            ASSERT_EQ(whole.installedVersion(), row.swap == Swap::failingNewCopy
                                                    ? UpdateWorld::runningVersion
                                                    : UpdateWorld::newVersion);
            EXPECT_EQ(whole.leftovers(), QStringList{});
            whole.kill(); // the started copy
        }
        const qint64 wholeRun = timer.elapsed();

        QStringList lost;
        QStringList leftBehind;
        for (int first = 0; first < trials; first += atOnce) {
            std::vector<std::unique_ptr<SwapWorld>> worlds;
            for (int i = first; i < first + atOnce; ++i)
                worlds.push_back(std::make_unique<SwapWorld>(row.swap));
            timer.restart();
            for (auto &world : worlds)
                world->start(ended);
            for (int i = first; i < first + atOnce; ++i) {
                const qint64 killAt = wholeRun * (2 * i + 1) / (2 * trials);
                while (timer.elapsed() < killAt)
                    QThread::msleep(1);
                worlds[size_t(i - first)]->kill();
            }
            for (int i = first; i < first + atOnce; ++i) {
                SwapWorld &world = *worlds[size_t(i - first)];
                if (!world.holdsACopyThatStarts())
                    lost.append(QString::number(i));
                // The next start of the installed copy, once the killed script's processes,
                // the ones it was forking among them, have ended.
                EXPECT_TRUE(waitUntil(
                    [&] { return !UpdateLeftovers::installerRunsFor(world.running()); }));
                UpdateLeftovers::remove(world.running());
                if (!world.leftovers().isEmpty() || !world.holdsACopyThatStarts())
                    leftBehind.append(QString::number(i) + ": " + world.leftovers().join(','));
            }
        }
        EXPECT_TRUE(lost.isEmpty()) << lost.size() << " of " << trials
                                    << " trials left no copy that starts: "
                                    << lost.join(' ').toStdString() << " (a whole run took "
                                    << wholeRun << " ms)";
        EXPECT_TRUE(leftBehind.isEmpty())
            << leftBehind.size() << " of " << trials
            << " trials left folders after the next start: "
            << leftBehind.join(' ').toStdString();
    }
}

} // namespace
} // namespace tolvaran
