#pragma once

#include <QString>

#include <functional>

class QDialog;
class QWidget;

namespace tolvaran {

// The prompt that renames a project in the program and in Codex, shared by the browser's
// cards and the detail pane's header. Each caller gives the width of the name field its own
// layout asks for.
namespace RenamePrompt {

inline const QString title = QStringLiteral("Rename Project");
inline const QString message = QStringLiteral(
    "This changes the project name in Tolvaran and Codex. If no Codex tasks are working, Codex "
    "will close and reopen. The folder name and path will not change.");
// Added to the message while renaming is refused (it begins with a blank).
inline const QString blockedMessage =
    QStringLiteral(" Codex is currently working. Finish all active tasks before renaming.");
constexpr int fieldHeight = 24;

// Opens the prompt, window-modal over the window of `opener` (the control that asked for it),
// and returns at once (the caller never waits on it). "Rename" hands `onRename` the text
// exactly as entered (untrimmed, even when unchanged); "Cancel" calls nothing. While
// `isEnabled` is false the field and "Rename" are disabled and the message says why, so only
// "Cancel" closes it. However it closes, the focus goes back to `opener`, and the dialog
// deletes itself.
QDialog *open(QWidget *opener, const QString &currentName, bool isEnabled, int fieldWidth,
              std::function<void(const QString &name)> onRename);

} // namespace RenamePrompt

} // namespace tolvaran
