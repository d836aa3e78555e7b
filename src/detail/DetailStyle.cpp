#include "detail/DetailStyle.h"

#include "widgets/BrowserStyle.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"

#include <QFrame>
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

QLabel *plainLabel(const QFont &font, QWidget *parent, const QString &text)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setText(text);
    return label;
}

QLabel *symbolLabel(const QString &symbol, int size, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(symbolIcon(symbol).pixmap(size, size));
    label->setFixedSize(size, size);
    return label;
}

QWidget *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QStringLiteral("divider"));
    line->setFixedHeight(1);
    BrowserStyle::setBackgroundColor(line, SystemColors::separator(line->palette()));
    return line;
}

} // namespace tolvaran::DetailStyle
