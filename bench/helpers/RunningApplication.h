#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace tolvaran {
class ProjectListViewModel;
class TolvaranApp;
}

namespace tolvaran::fixtures::bench {

// The environment in which the program runs on the Codex folder `codexHome`, with its own
// folders (settings, data, cache) under `programHome`, offscreen, and with no server to reach.
QProcessEnvironment applicationEnvironment(const QString &programHome, const QString &codexHome);

// The program as its user runs it, in this process: the composition root, the coordinator and
// the window, shown (which starts the work, as at the program's start), over the folders the
// environment names. Make it after the QApplication, in a process of its own, so that nothing
// measured before weighs in.
class RunningApplication final
{
public:
    RunningApplication();
    ~RunningApplication();
    RunningApplication(const RunningApplication &) = delete;
    RunningApplication &operator=(const RunningApplication &) = delete;

    TolvaranApp &app() const { return *m_app; }
    ProjectListViewModel &coordinator() const;

    // The time of std::chrono::steady_clock (the same in every process) at which the window
    // had painted its first cards; none until then.
    std::optional<std::chrono::steady_clock::time_point> firstCardsPaintedAt() const
    {
        return m_firstCardsPaintedAt;
    }

    // Runs the event loop until a full refresh has ended and the token-usage pass it asked
    // for has published, then `quiet` longer; false when that took over `timeout`.
    bool awaitRefreshAndTokenPass(std::chrono::milliseconds quiet,
                                  std::chrono::seconds timeout);
    // Runs one full refresh (as the Refresh command starts it) and returns its wall time in
    // milliseconds, from the call to its completion; then waits as above.
    double timedRefresh(std::chrono::milliseconds quiet, std::chrono::seconds timeout);

private:
    void watchFirstCards();

    std::unique_ptr<TolvaranApp> m_app;
    std::optional<std::chrono::steady_clock::time_point> m_firstCardsPaintedAt;
};

} // namespace tolvaran::fixtures::bench
