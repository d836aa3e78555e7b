#include "widgets/PaneStyle.h"

#include "widgets/BrowserStyle.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"

#include <QFrame>
#include <QLabel>

namespace tolvaran::PaneStyle {

QLabel *plainLabel(const ScaledFont &font, QWidget *parent, const QString &text)
{
    QLabel *label = plainLabel(parent, text);
    font.apply(label);
    return label;
}

QLabel *plainLabel(QWidget *parent, const QString &text)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

QLabel *symbolLabel(const QString &symbol, int size, QWidget *parent, const QColor &color)
{
    auto *label = new QLabel(parent);
    const QIcon icon = color.isValid() ? tintedSymbolIcon(symbol, color) : symbolIcon(symbol);
    label->setPixmap(icon.pixmap(size, size));
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

} // namespace tolvaran::PaneStyle
