#pragma once

#include "support/RestartedTestProgram.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tolvaran::fixtures {

// A second process writing one team profile's key and installation credential over and over,
// as the program writes them, so that a test can kill (or stop) it in the middle of a write.
// It is this test program started again in a mode of its own (runIfAsked, called first thing
// by main).
class TeamSecretWriter final
{
public:
    // The values it writes, in turn.
    static const QStringList keys;
    static const QStringList credentials;

    // Starts a writer of the profile `profileID` (the legacy one writes into `support` itself)
    // and returns once both secrets were written once. Throws std::runtime_error.
    TeamSecretWriter(const QString &support, const QString &profileID,
                     const QString &defaultsPath);

    // SIGKILL, then reaps it: whatever it was writing stays as the kill left it. Returns
    // whether the kill ended it, rather than a failed write before.
    bool kill() { return m_process.kill(); }
    // SIGSTOP, returning once the process is stopped; resume() lets it go on.
    void stop() { m_process.stop(); }
    void resume() { m_process.resume(); }
    bool stopWhen(const std::function<bool()> &found) { return m_process.stopWhen(found); }
    // Whether it still writes: a failed write ends it.
    bool isRunning() const { return m_process.isRunning(); }

    // The writer's side: when `argv` asks for a writer, writes until killed and returns the
    // exit code of a failed write; otherwise nothing.
    static std::optional<int> runIfAsked(int argc, char *argv[]);

private:
    RestartedTestProgram m_process;
};

} // namespace tolvaran::fixtures
