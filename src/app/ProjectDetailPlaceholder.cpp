#include "app/ProjectDetailPlaceholder.h"

#include "app/BrowserStyle.h"
#include "app/ClosureButton.h"
#include "app/SymbolIconTable.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tolvaran {

ProjectDetailPlaceholder::ProjectDetailPlaceholder(const QString &projectName,
                                                   std::function<void()> onClose,
                                                   QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("projectDetail"));
    auto *back = new ClosureButton(QStringLiteral("Back"),
                                   symbolIcon(QStringLiteral("chevron.left")),
                                   std::move(onClose), this);
    back->setObjectName(QStringLiteral("backButton"));
    back->setAutoRaise(true);
    auto *name = new QLabel(this);
    name->setObjectName(QStringLiteral("projectName"));
    name->setTextFormat(Qt::PlainText);
    name->setText(projectName);
    name->setFont(BrowserStyle::systemFont(22, QFont::DemiBold));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 16);
    layout->setSpacing(10);
    layout->addWidget(back, 0, Qt::AlignLeft);
    layout->addWidget(name);
    layout->addStretch(1);
}

} // namespace tolvaran
