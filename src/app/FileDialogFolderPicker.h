#pragma once

#include "platform/desktop/FolderPicker.h"

class QWidget;

namespace tolvaran {

// The "New Project..." dialog: a save dialog in which the user names the new folder and
// chooses where it goes, modal over the window.
class FileDialogFolderPicker final : public FolderPicker
{
public:
    explicit FileDialogFolderPicker(QWidget *parent);

    void chooseNewFolder(const FolderPickerRequest &request, Completion completion) override;

private:
    QWidget *m_parent;
};

} // namespace tolvaran
