#pragma once

#include <QString>

#include <sys/types.h>

namespace tolvaran::fixtures {

// A process that looks to the outside like Codex running a turn: it keeps the thread's
// rollout file open for appending and, when given a lock path, holds an exclusive flock on
// that writer-lock file (creating it, as Codex does). It is a child of the test made with
// fork(), so that a kill ends the one process that holds both.
class StandInCodexProcess final
{
public:
    // Returns once the file is open and the lock held. Throws std::runtime_error.
    StandInCodexProcess(const QString &rolloutPath, const QString &writerLockPath);
    ~StandInCodexProcess();
    StandInCodexProcess(const StandInCodexProcess &) = delete;
    StandInCodexProcess &operator=(const StandInCodexProcess &) = delete;

    pid_t pid() const { return m_pid; }
    bool isRunning() const { return m_pid > 0; }

    // Kills it (SIGKILL) and reaps it: the lock file stays behind, unlocked, as a killed
    // Codex leaves it.
    void kill();
    // Ends it as Codex ends normally: the lock file is removed, then the process exits.
    void exitNormally();

private:
    QString m_writerLockPath;
    pid_t m_pid = -1;
};

} // namespace tolvaran::fixtures
