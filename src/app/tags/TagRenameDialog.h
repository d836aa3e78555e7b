#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;

namespace tolvaran {

// Asks for a tag's new name: "Rename Tag", a field filled with the current name (selected, so
// typing replaces it), and "Rename" and "Cancel". A name the coordinator refuses keeps the
// dialog open with the typed text and the reason shown below the field, so that a refused
// rename is never silent. Open it with open(): it must not block the caller.
class TagRenameDialog final : public QDialog
{
    Q_OBJECT

public:
    // Tries the name as typed; answers the reason it was refused, or none when it was taken.
    using Submit = std::function<std::optional<QString>(const QString &name)>;

    TagRenameDialog(const QString &currentName, Submit submit, QWidget *parent = nullptr);

    QString name() const;
    // The reason shown below the field; none while nothing was refused.
    std::optional<QString> message() const;

    // What the "Rename" button does: submits the field's text and closes on success.
    void submit();

private:
    Submit m_submit;
    QLineEdit *m_field = nullptr;
    QLabel *m_messageLabel = nullptr;
};

} // namespace tolvaran
