#pragma once

#include "platform/desktop/FolderPickerRequest.h"

#include <QString>

#include <functional>
#include <optional>

namespace tolvaran {

// The dialog in which the user names a new folder and chooses where it goes, as a save dialog
// does: one name field ("Project name:") and a folder browser. An interface so that the code
// creating projects runs without a window in tests (tests/support/FakeFolderPicker); the
// widget implementation lives with the window.
class FolderPicker
{
public:
    using Completion = std::function<void(const std::optional<QString> &chosenPath)>;

    virtual ~FolderPicker() = default;

    // Shows the dialog and, once the user has answered, calls `completion` exactly once on the
    // caller's thread with the absolute path chosen for the new folder (which need not exist
    // yet), or none when the user cancelled. The call may return before the user answers, so
    // that the dialog need not run an event loop of its own; `completion` may also run before
    // it returns.
    virtual void chooseNewFolder(const FolderPickerRequest &request, Completion completion) = 0;
};

} // namespace tolvaran
