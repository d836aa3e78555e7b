#include "widgets/RenamePrompt.h"

#include "widgets/BrowserStyle.h"
#include "widgets/FontScale.h"
#include "widgets/screen_fit/DialogFit.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvaran::RenamePrompt {

QDialog *open(QWidget *opener, const QString &currentName, bool isEnabled, int fieldWidth,
              std::function<void(const QString &name)> onRename)
{
    auto *dialog = new QDialog(opener);
    dialog->setObjectName(QStringLiteral("renameDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(title);
    auto *messageText = new QLabel(title, dialog);
    messageText->setObjectName(QStringLiteral("messageText"));
    BrowserStyle::systemFont(13, QFont::Bold).apply(messageText);
    auto *informative = new QLabel(dialog);
    informative->setObjectName(QStringLiteral("informativeText"));
    informative->setTextFormat(Qt::PlainText);
    informative->setWordWrap(true);
    informative->setText(message + (isEnabled ? QString() : blockedMessage));
    auto *field = new QLineEdit(currentName, dialog);
    field->setObjectName(QStringLiteral("nameField"));
    field->setAccessibleName(QStringLiteral("Project name"));
    FontScale::follow(field, [field, fieldWidth] {
        field->setFixedSize(FontScale::scaled(fieldWidth), FontScale::scaled(fieldHeight));
    });
    field->setEnabled(isEnabled);
    auto *buttons = new QDialogButtonBox(dialog);
    QPushButton *rename =
        buttons->addButton(QStringLiteral("Rename"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    rename->setEnabled(isEnabled);
    rename->setDefault(isEnabled);

    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(messageText);
    layout->addWidget(informative);
    layout->addWidget(field);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    // The prompt renames what it was opened for, whatever its opener shows by then; checking
    // the name is the rename's business.
    QObject::connect(dialog, &QDialog::accepted, dialog,
                     [onRename = std::move(onRename), field, isEnabled] {
                         if (isEnabled && onRename)
                             onRename(field->text());
                     });
    // Left alone, the window's focus would go back to where it was before: nowhere, or a
    // control the user clicked before the opener (which takes no focus from a click).
    QObject::connect(dialog, &QDialog::finished, opener,
                     [opener] { opener->setFocus(Qt::OtherFocusReason); });
    dialog->setWindowModality(Qt::WindowModal);
    DialogFit::follow(dialog);
    if (isEnabled) {
        field->selectAll();
        field->setFocus();
    }
    dialog->open();
    return dialog;
}

} // namespace tolvaran::RenamePrompt
