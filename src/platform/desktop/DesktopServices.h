#pragma once

#include "platform/desktop/DesktopActionResult.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <stop_token>

namespace tolvaran {

// The desktop's services that the program's actions need: links, the file manager and the
// terminal. An interface so that the code deciding what to open can be tested with a double
// (tests/support/FakeDesktopServices); SystemDesktopServices is the real one.
//
// Every operation returns at once after starting what it opens (nothing waits for the opened
// application) and says whether something was opened. The real implementation may run a short
// query program first, so callers on the GUI thread block for a moment at most.
class DesktopServices
{
public:
    virtual ~DesktopServices() = default;

    // Opens `url` with the application the desktop has registered for its scheme (for a local
    // file or folder: for its type). Fails with NoHandler when none is registered, and with
    // Cancelled when a stop is requested through `stopToken` while the handler is looked up.
    virtual DesktopActionResult openUrl(const QUrl &url, const std::stop_token &stopToken) = 0;
    DesktopActionResult openUrl(const QUrl &url) { return openUrl(url, {}); }

    // Shows the folder at the absolute path `folder` in the file manager.
    // Likewise for `stopToken`.
    virtual DesktopActionResult revealFolder(const QString &folder,
                                             const std::stop_token &stopToken) = 0;
    DesktopActionResult revealFolder(const QString &folder) { return revealFolder(folder, {}); }

    // Opens the desktop's terminal with its shell working in `folder`.
    virtual DesktopActionResult openTerminal(const QString &folder) = 0;

    // Opens the desktop's terminal working in `folder` and runs `program` with `arguments` in
    // it. The program and each argument reach the program as they are: nothing is spliced
    // into a shell command.
    virtual DesktopActionResult runInTerminal(const QString &folder, const QString &program,
                                              const QStringList &arguments) = 0;
};

} // namespace tolvaran
