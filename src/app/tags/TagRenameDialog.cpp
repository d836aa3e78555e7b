#include "app/tags/TagRenameDialog.h"

#include "widgets/SystemColors.h"
#include "widgets/screen_fit/DialogFit.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvaran {

TagRenameDialog::TagRenameDialog(const QString &currentName, Submit submit, QWidget *parent)
    : QDialog(parent)
    , m_submit(std::move(submit))
{
    setObjectName(QStringLiteral("tagRenameDialog"));
    setWindowTitle(QStringLiteral("Rename Tag"));
    auto *layout = new QVBoxLayout(this);

    auto *title = new QLabel(QStringLiteral("Rename Tag"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    auto *informative =
        new QLabel(QStringLiteral("Enter a new name for ") + currentName + QLatin1Char('.'), this);
    informative->setTextFormat(Qt::PlainText);
    informative->setWordWrap(true);
    layout->addWidget(informative);

    m_field = new QLineEdit(currentName, this);
    m_field->setObjectName(QStringLiteral("tagNameField"));
    m_field->setAccessibleName(QStringLiteral("Tag name"));
    m_field->setMinimumWidth(240);
    m_field->selectAll();
    layout->addWidget(m_field);
    m_messageLabel = new QLabel(this);
    m_messageLabel->setObjectName(QStringLiteral("tagRenameMessage"));
    m_messageLabel->setTextFormat(Qt::PlainText);
    m_messageLabel->setWordWrap(true);
    QPalette palette = m_messageLabel->palette();
    palette.setColor(QPalette::WindowText, SystemColors::red());
    m_messageLabel->setPalette(palette);
    m_messageLabel->hide();
    layout->addWidget(m_messageLabel);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *rename =
        buttons->addButton(QStringLiteral("Rename"), QDialogButtonBox::AcceptRole);
    rename->setObjectName(QStringLiteral("renameButton"));
    rename->setDefault(true);
    QPushButton *cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TagRenameDialog::submit);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_field->setFocus();
    DialogFit::follow(this);
}

QString TagRenameDialog::name() const
{
    return m_field->text();
}

std::optional<QString> TagRenameDialog::message() const
{
    if (m_messageLabel->isHidden())
        return std::nullopt;
    return m_messageLabel->text();
}

void TagRenameDialog::submit()
{
    const std::optional<QString> refusal = m_submit ? m_submit(m_field->text()) : std::nullopt;
    if (!refusal) {
        accept();
        return;
    }
    m_messageLabel->setText(*refusal);
    m_messageLabel->show();
    m_field->setFocus();
}

} // namespace tolvaran
