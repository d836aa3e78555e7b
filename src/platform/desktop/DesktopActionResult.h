#pragma once

#include <QString>

namespace tolvaran {

// What became of a request to the desktop (open a link, a folder, a terminal, Codex). Either
// something was opened, or nothing was and `message` says why in one user-facing sentence.
// A default-constructed result is a failure: nothing can report success by accident.
struct DesktopActionResult
{
    enum class Status {
        Opened,
        NoHandler,      // no application is registered for the link or the folder
        NoTerminal,     // no terminal application could be found
        CodexNotFound,  // the Codex command-line tool is not installed where we look
        InvalidLink,    // the link could not be formed from what was given
        MissingFolder,  // the folder to open or to work in does not exist
        StartFailed,    // the program was found but could not be started
        Cancelled,      // stopped before anything was opened (the program quits)
    };

    Status status = Status::StartFailed;
    QString message; // empty exactly when opened

    bool opened() const { return status == Status::Opened; }

    static DesktopActionResult success() { return {Status::Opened, QString()}; }
    static DesktopActionResult failure(Status status, QString message)
    {
        return {status, std::move(message)};
    }

    bool operator==(const DesktopActionResult &) const = default;
};

} // namespace tolvaran
