#pragma once

#include <QString>

#include <optional>

namespace tolvaran {

// What the dialog that asks for a new folder shows.
struct FolderPickerRequest
{
    QString title;
    QString message;
    QString nameFieldLabel;
    QString initialName;
    QString confirmButtonTitle;
    std::optional<QString> startingFolder; // none: the dialog's own default
    bool canCreateFolders = true;

    bool operator==(const FolderPickerRequest &) const = default;
};

} // namespace tolvaran
