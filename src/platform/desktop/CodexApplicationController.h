#pragma once

#include "platform/desktop/CodexApplicationInstance.h"
#include "platform/desktop/CodexApplicationQuitResult.h"
#include "platform/desktop/DesktopActionResult.h"

#include <QList>

#include <stop_token>

namespace tolvaran {

// Quitting the Codex desktop application and starting it again, so that its files can be
// changed while it is not running. An interface so that its callers can be tested with a
// double (tests/support/FakeCodexApplicationController); SystemCodexApplicationController is
// the real one. The operations block: call them from a worker thread.
class CodexApplicationController
{
public:
    virtual ~CodexApplicationController() = default;

    // The running instances of the application, in the order the system lists them.
    virtual QList<CodexApplicationInstance> runningInstances() = 0;

    // Asks every running instance to quit politely, then waits until all have quit, the
    // wait's limit has passed or a stop is requested through `stopToken` (the program quits:
    // those still quitting are then in `stillRunning`). Nothing is forced: an instance that
    // does not quit keeps running.
    virtual CodexApplicationQuitResult quitAll(const std::stop_token &stopToken) = 0;

    // Starts `instance` again from its recorded executable, arguments and folder, without
    // bringing it to the front. Returns once it has started.
    virtual DesktopActionResult reopen(const CodexApplicationInstance &instance) = 0;
};

} // namespace tolvaran
