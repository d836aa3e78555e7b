#include "detail/DetailStyle.h"

#include "widgets/BrowserStyle.h"

#include <QHBoxLayout>
#include <QLabel>

namespace tolvaran::DetailStyle {

QWidget *sectionTitle(const QString &text, const QString &symbol, QWidget *parent)
{
    auto *title = new QWidget(parent);
    auto *layout = new QHBoxLayout(title);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    if (!symbol.isEmpty())
        layout->addWidget(symbolLabel(symbol, title3Size, title));
    QLabel *label = plainLabel(BrowserStyle::systemFont(title3Size, QFont::DemiBold), title, text);
    label->setObjectName(QStringLiteral("sectionTitle"));
    layout->addWidget(label);
    layout->addStretch(1);
    return title;
}

} // namespace tolvaran::DetailStyle
