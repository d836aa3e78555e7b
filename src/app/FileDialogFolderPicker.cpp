#include "app/FileDialogFolderPicker.h"

#include "widgets/PlainText.h"
#include "widgets/screen_fit/DialogFit.h"

#include <QDir>
#include <QFileDialog>

namespace tolvaran {

FileDialogFolderPicker::FileDialogFolderPicker(QWidget *parent)
    : m_parent(parent)
{
}

void FileDialogFolderPicker::chooseNewFolder(const FolderPickerRequest &request,
                                             Completion completion)
{
    auto *dialog = new QFileDialog(m_parent, request.title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Qt's own dialog: the desktop's may not take our labels, and it must offer a name field.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::ReadOnly, !request.canCreateFolders);
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    dialog->setLabelText(QFileDialog::FileName, request.nameFieldLabel);
    dialog->setLabelText(QFileDialog::Accept, request.confirmButtonTitle);
    setPlainToolTip(dialog, request.message);
    dialog->setDirectory(request.startingFolder.value_or(QDir::homePath()));
    dialog->selectFile(request.initialName);
    // Window-modal and without a nested event loop: the window keeps rendering meanwhile.
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog, completion = std::move(completion)](int result) {
                         const QStringList chosen = dialog->selectedFiles();
                         if (result != QDialog::Accepted || chosen.isEmpty())
                             completion(std::nullopt);
                         else
                             completion(QDir::cleanPath(chosen.constFirst()));
                     });
    DialogFit::follow(dialog);
    dialog->open();
}

} // namespace tolvaran
