#pragma once

#include <QProcess>
#include <QStringList>

#include <functional>

namespace tolvaran::fixtures {

// The running test program started again as a second process, with arguments that its main
// recognises and that put it in a mode of its own (a writer that a test kills or stops in the
// middle of a write, say). It writes through the same code as the program.
class RestartedTestProgram final
{
public:
    // Starts it and returns once it has announced that it is ready. Throws
    // std::runtime_error.
    explicit RestartedTestProgram(const QStringList &arguments);
    ~RestartedTestProgram();
    RestartedTestProgram(const RestartedTestProgram &) = delete;
    RestartedTestProgram &operator=(const RestartedTestProgram &) = delete;

    // SIGKILL, then reaps it: whatever it was writing stays as the kill left it. Returns
    // whether the kill ended it, rather than its own exit before.
    bool kill();
    // SIGSTOP, returning once the process is stopped; resume() lets it go on.
    void stop();
    void resume();
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    // Stops it at moments, letting it run on between, until `found` holds while it is
    // stopped (it then stays stopped); false when that never happened.
    bool stopWhen(const std::function<bool()> &found);

    // The second process's side: tells the test that it is ready.
    static void announceReady();

private:
    QProcess m_process;
};

} // namespace tolvaran::fixtures
