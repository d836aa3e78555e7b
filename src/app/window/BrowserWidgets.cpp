#include "app/window/BrowserWidgets.h"

#include "widgets/BrowserStyle.h"
#include "widgets/ClosureButton.h"
#include "widgets/ElidingLabel.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>

namespace tolvaran::BrowserWidgets {

using namespace BrowserStyle;

QFrame *horizontalSeparator(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    setTextColor(line, tertiaryLabelColor(line->palette()));
    return line;
}

QLabel *label(QWidget *parent, const QString &name, const ScaledFont &font,
              std::optional<QColor> color)
{
    auto *field = new QLabel(parent);
    field->setObjectName(name);
    field->setTextFormat(Qt::PlainText);
    font.apply(field);
    if (color)
        setTextColor(field, *color);
    return field;
}

ElidingLabel *elidingLabel(QWidget *parent, const QString &name, const ScaledFont &font,
                           const QColor &color)
{
    auto *field = new ElidingLabel(parent);
    field->setObjectName(name);
    font.apply(field);
    setTextColor(field, color);
    return field;
}

ClosureButton *symbolButton(QWidget *parent, const QString &name, const QString &symbol,
                            const QString &help)
{
    ClosureButton *button = ClosureButton::symbol(symbol, help, parent);
    button->setObjectName(name);
    return button;
}

QComboBox *popUpButton(QWidget *parent, const QString &name, const QStringList &items)
{
    auto *button = new QComboBox(parent);
    button->setObjectName(name);
    button->addItems(items);
    button->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return button;
}

} // namespace tolvaran::BrowserWidgets
