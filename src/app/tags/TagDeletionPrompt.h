#pragma once

#include <QString>

#include <functional>

class QMessageBox;
class QWidget;

namespace tolvaran {

// Opens the warning that confirms a tag's deletion ("Delete <name>?", "Delete" and "Cancel")
// without blocking the caller; `confirmed` runs when the user chooses "Delete". The box
// deletes itself when it closes.
QMessageBox *openTagDeletionPrompt(QWidget *parent, const QString &tagName,
                                   std::function<void()> confirmed);

} // namespace tolvaran
