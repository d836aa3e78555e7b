#pragma once

#include "platform/desktop/CodexApplicationController.h"

#include <QStringList>

#include <chrono>

namespace tolvaran {

// Finds the Codex desktop application among the user's processes in /proc by the name of the
// executable, asks it to quit with SIGTERM and starts it again from the executable it ran.
// Only the application's top process is an instance: helper processes running the same
// executable under it end with it.
class SystemCodexApplicationController final : public CodexApplicationController
{
public:
    // Executable names of the desktop application. The command-line tool ("codex") is not
    // one: it may be doing work of its own and is never asked to quit.
    static const QStringList kExecutableNames;

    // How long quitAll() waits: up to `pollLimit` waits of `pollInterval` for every instance
    // to be gone, then `settleTime` so that a quit application has let go of its files.
    struct QuitTiming
    {
        std::chrono::milliseconds pollInterval{100};
        int pollLimit = 100;
        std::chrono::milliseconds settleTime{350};
    };

    SystemCodexApplicationController(); // kExecutableNames, the default timing
    SystemCodexApplicationController(QStringList executableNames, QuitTiming timing);

    QList<CodexApplicationInstance> runningInstances() override;
    CodexApplicationQuitResult quitAll(const std::stop_token &stopToken) override;
    DesktopActionResult reopen(const CodexApplicationInstance &instance) override;

private:
    // Tests hand the second step of the scan processes that have ended.
    friend class SystemCodexApplicationControllerTesting;

    // The scan in two steps. The walk of /proc finds the applications' top processes by their
    // executables; then the arguments and folder of those alone are read, and an instance that
    // has ended by then (or whose id a new process took) is dropped.
    QList<CodexApplicationInstance> findTopProcesses() const;
    static QList<CodexApplicationInstance> withLaunchDetails(
        const QList<CodexApplicationInstance> &found);

    QStringList m_executableNames;
    QuitTiming m_timing;
};

} // namespace tolvaran
