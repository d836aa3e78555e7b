#include "support/RestartedTestProgram.h"

#include "support/ProcessState.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <stdexcept>

namespace tolvaran::fixtures {

namespace {

const QByteArray readyLine("ready\n");

} // namespace

RestartedTestProgram::RestartedTestProgram(const QStringList &arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QCoreApplication::applicationFilePath(), arguments);
    const bool ready = waitUntil([this] {
        return m_process.canReadLine() || m_process.state() == QProcess::NotRunning;
    });
    if (!ready || m_process.readLine() != readyLine) {
        kill();
        throw std::runtime_error("the restarted test program did not start: "
                                 + arguments.join(QLatin1Char(' ')).toStdString());
    }
}

RestartedTestProgram::~RestartedTestProgram()
{
    kill();
}

bool RestartedTestProgram::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(-1);
    }
    return m_process.exitStatus() == QProcess::CrashExit;
}

void RestartedTestProgram::stop()
{
    const qint64 pid = m_process.processId();
    ::kill(pid_t(pid), SIGSTOP);
    if (!waitUntil([pid] { return processState(pid) == 'T'; }))
        throw std::runtime_error("the restarted test program did not stop");
}

void RestartedTestProgram::resume()
{
    ::kill(pid_t(m_process.processId()), SIGCONT);
}

bool RestartedTestProgram::stopWhen(const std::function<bool()> &found)
{
    constexpr int attempts = 5000;
    constexpr quint32 runMicroseconds = 3'000;
    QRandomGenerator random(attempts);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        stop();
        if (found())
            return true;
        resume();
        // Lets it run on to another moment; nothing waits for an outcome here.
        QThread::usleep(random.bounded(runMicroseconds));
    }
    return false;
}

void RestartedTestProgram::announceReady()
{
    std::fputs(readyLine.constData(), stdout);
    std::fflush(stdout);
}

} // namespace tolvaran::fixtures
