#include "app/FileDialogFolderPicker.h"

#include <QDir>
#include <QFileDialog>

namespace tolvaran {

FileDialogFolderPicker::FileDialogFolderPicker(QWidget *parent)
    : m_parent(parent)
{
}

std::optional<QString> FileDialogFolderPicker::chooseNewFolder(const FolderPickerRequest &request)
{
    QFileDialog dialog(m_parent, request.title);
    // Qt's own dialog: the desktop's may not take our labels, and it must offer a name field.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, !request.canCreateFolders);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setLabelText(QFileDialog::FileName, request.nameFieldLabel);
    dialog.setLabelText(QFileDialog::Accept, request.confirmButtonTitle);
    dialog.setToolTip(request.message);
    dialog.setDirectory(request.startingFolder.value_or(QDir::homePath()));
    dialog.selectFile(request.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::cleanPath(dialog.selectedFiles().constFirst());
}

} // namespace tolvaran
