#pragma once

#include "platform/FolderPickerRequest.h"

#include <QString>

#include <optional>

namespace tolvaran {

// The modal dialog in which the user names a new folder and chooses where it goes. An
// interface so that the code creating projects runs without a window in tests
// (tests/support/FakeFolderPicker); the widget implementation lives with the window.
class FolderPicker
{
public:
    virtual ~FolderPicker() = default;

    // Shows the dialog and returns the absolute path the user chose for the new folder (which
    // need not exist yet); none when the user cancelled.
    virtual std::optional<QString> chooseNewFolder(const FolderPickerRequest &request) = 0;
};

} // namespace tolvaran
