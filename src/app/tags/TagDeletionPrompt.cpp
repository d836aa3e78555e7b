#include "app/tags/TagDeletionPrompt.h"

#include "widgets/screen_fit/DialogFit.h"

#include <QMessageBox>
#include <QPushButton>

namespace tolvaran {

QMessageBox *openTagDeletionPrompt(QWidget *parent, const QString &tagName,
                                   std::function<void()> confirmed)
{
    auto *box = new QMessageBox(parent);
    box->setObjectName(QStringLiteral("tagDeletionPrompt"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setTextFormat(Qt::PlainText);
    box->setWindowTitle(QStringLiteral("Delete Tag"));
    box->setText(QStringLiteral("Delete ") + tagName + QLatin1Char('?'));
    box->setInformativeText(QStringLiteral("This removes the tag from every assigned project."));
    QPushButton *remove = box->addButton(QStringLiteral("Delete"), QMessageBox::DestructiveRole);
    remove->setObjectName(QStringLiteral("deleteButton"));
    QPushButton *cancel = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    QObject::connect(box, &QMessageBox::buttonClicked, box,
                     [remove, confirmed = std::move(confirmed)](QAbstractButton *button) {
                         if (button == remove && confirmed)
                             confirmed();
                     });
    DialogFit::follow(box);
    box->open();
    return box;
}

} // namespace tolvaran
