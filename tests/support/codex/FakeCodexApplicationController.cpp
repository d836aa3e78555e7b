#include "support/codex/FakeCodexApplicationController.h"

#include "work/WorkContext.h"

namespace tolvaran::fixtures {

QList<CodexApplicationInstance> FakeCodexApplicationController::runningInstances()
{
    const std::lock_guard lock(m_mutex);
    return running;
}

CodexApplicationQuitResult FakeCodexApplicationController::quitAll(
    const std::stop_token &stopToken)
{
    std::unique_lock lock(m_mutex);
    ++quitAllCalls;
    CodexApplicationQuitResult result;
    result.askedToQuit = running;
    QList<CodexApplicationInstance> stayed;
    for (const CodexApplicationInstance &instance : std::as_const(running)) {
        if (refusingToQuit.contains(instance.processId))
            stayed << instance;
    }
    result.stillRunning = stayed;
    running = stayed;
    lock.unlock();
    if (lingersUntilStopped) {
        isLingering = true;
        while (sleepUnlessStopped(stopToken, std::chrono::milliseconds(10))) {
        }
    }
    return result;
}

DesktopActionResult FakeCodexApplicationController::reopen(
    const CodexApplicationInstance &instance)
{
    const std::lock_guard lock(m_mutex);
    reopened << instance;
    if (onReopen)
        onReopen(instance);
    if (reopenResult.opened())
        running << instance;
    return reopenResult;
}

} // namespace tolvaran::fixtures
