#pragma once

#include "platform/desktop/CodexApplicationController.h"

#include <QList>

#include <atomic>
#include <functional>
#include <mutex>

namespace tolvaran::fixtures {

// Codex instances that exist only as records. quitAll() "quits" every running instance except
// those listed in `refusingToQuit`, which stay running; reopen() starts an instance again by
// adding it to `running`. Safe to call from a worker thread while a test reads it after the
// job has finished.
class FakeCodexApplicationController final : public CodexApplicationController
{
public:
    QList<CodexApplicationInstance> runningInstances() override;
    CodexApplicationQuitResult quitAll(const std::stop_token &stopToken) override;
    DesktopActionResult reopen(const CodexApplicationInstance &instance) override;

    // Behaviour.
    QList<CodexApplicationInstance> running;
    QList<qint64> refusingToQuit; // process ids
    DesktopActionResult reopenResult = DesktopActionResult::success();
    // Codex takes its time to let go of its files: once the instances have quit, quitAll()
    // waits until a stop is requested (the program quits) and still reports all quit.
    std::atomic<bool> lingersUntilStopped = false;
    std::atomic<bool> isLingering = false;

    // Calls.
    int quitAllCalls = 0;
    // Called at every reopen request, for tests that look after the owner has destroyed
    // this double.
    std::function<void(const CodexApplicationInstance &instance)> onReopen;
    QList<CodexApplicationInstance> reopened; // every reopen request, also failed ones

private:
    std::mutex m_mutex;
};

} // namespace tolvaran::fixtures
