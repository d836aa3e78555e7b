#include "UpdateWorld.h"
#include "support/QtPrinters.h"
#include "support/ReleaseBuilder.h"
#include "support/StandInPrograms.h"
#include "support/TemporaryHome.h"
#include "update/AppUpdateInstaller.h"
#include "update/ApplicationFolder.h"

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
using namespace std::chrono_literals;

// Every rename of the swap takes this long, so that a kill lands between steps often.
constexpr auto slowRename = 300ms;

// One installation as the script finds it once the program has quit: the running copy at
// apps/Tolvaran, the verified new one staged beside it, the work folder, and a slow mv first
// on the script's PATH. Each copy's program runs a while when started.
class SwapWorld
{
public:
    SwapWorld()
    {
        const QString program = UpdateWorld::folderExchangeDelegation(slowRename)
                                + QStringLiteral("sleep 3\n");
        fixtures::ReleaseBuilder::writeApplicationFolder(running(), UpdateWorld::runningVersion,
                                                         program);
        fixtures::ReleaseBuilder::writeApplicationFolder(staged(), UpdateWorld::newVersion,
                                                         program);
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

    fixtures::TemporaryHome home;
    QString script;

private:
    std::unique_ptr<QProcess> m_script;
};

qint64 endedProcessID()
{
    QProcess done;
    done.start("true");
    done.waitForFinished();
    return done.processId() > 0 ? done.processId() : 999'999;
}

// 100 installations, each killed (the script and all it started) at another moment of the
// swap, spread over the time a whole one takes: the install path holds the old or the new
// application every time, never nothing.
TEST(InstallerScriptKill, theInstallPathAlwaysHoldsTheOldOrTheNewCopy)
{
    constexpr int trials = 100;
    constexpr int atOnce = 10;
    const qint64 ended = endedProcessID();

    QElapsedTimer timer;
    {
        SwapWorld whole;
        timer.start();
        whole.start(ended);
        ASSERT_TRUE(QTest::qWaitFor([&] { return whole.finished(); }, 60'000));
        ASSERT_EQ(whole.installedVersion(), UpdateWorld::newVersion);
        whole.kill(); // the started copy
    }
    const qint64 wholeRun = timer.elapsed();

    QStringList lost;
    for (int first = 0; first < trials; first += atOnce) {
        std::vector<std::unique_ptr<SwapWorld>> worlds;
        for (int i = first; i < first + atOnce; ++i)
            worlds.push_back(std::make_unique<SwapWorld>());
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
            const QString version = worlds[size_t(i - first)]->installedVersion();
            if (version != UpdateWorld::runningVersion && version != UpdateWorld::newVersion)
                lost.append(QString::number(i));
        }
    }
    EXPECT_TRUE(lost.isEmpty()) << lost.size() << " of " << trials
                                << " trials left no application: "
                                << lost.join(' ').toStdString() << " (a whole run took "
                                << wholeRun << " ms)";
}

} // namespace
} // namespace tolvaran
