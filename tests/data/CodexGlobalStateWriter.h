#pragma once

#include "support/RestartedTestProgram.h"

#include <QString>

#include <optional>

namespace tolvaran::fixtures {

// A second process changing Codex's global-state file over and over through the store (it
// pins and unpins a folder in turn), so that a test can kill or stop it in the middle of a
// write. It is this test program started again in a mode of its own (runIfAsked, called first
// thing by main).
class CodexGlobalStateWriter final
{
public:
    // The folder it pins and unpins.
    static const QString pinnedFolder;

    // Starts a writer of the file at `statePath` and returns once it has changed it once.
    // Throws std::runtime_error.
    explicit CodexGlobalStateWriter(const QString &statePath);

    // SIGKILL, then reaps it. Returns whether the kill ended it, rather than a failed write.
    bool kill() { return m_process.kill(); }
    void stop() { m_process.stop(); }
    void resume() { m_process.resume(); }
    // Whether it still writes: a failed write ends it.
    bool isRunning() const { return m_process.isRunning(); }

    // The writer's side: when `argv` asks for a writer, writes until killed and returns the
    // exit code of a failed write; otherwise nothing.
    static std::optional<int> runIfAsked(int argc, char *argv[]);

private:
    RestartedTestProgram m_process;
};

} // namespace tolvaran::fixtures
