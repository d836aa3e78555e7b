#include "widgets/ClosureButton.h"

#include "widgets/SymbolIconTable.h"

namespace tolvaran {

ClosureButton::ClosureButton(QWidget *parent)
    : QToolButton(parent)
{
    connect(this, &QToolButton::clicked, this, &ClosureButton::invoke);
}

ClosureButton::ClosureButton(const QString &title, const QIcon &icon, Handler handler,
                             QWidget *parent)
    : ClosureButton(parent)
{
    setText(title);
    setIcon(icon);
    setToolButtonStyle(title.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
    m_handler = std::move(handler);
}

ClosureButton *ClosureButton::symbol(const QString &symbolName, const QString &help,
                                     QWidget *parent)
{
    auto *button = new ClosureButton(QString(), symbolIcon(symbolName), {}, parent);
    button->setToolTip(help);
    button->setAccessibleName(help);
    button->setAutoRaise(true);
    return button;
}

void ClosureButton::invoke()
{
    if (!m_handler)
        return;
    // A copy: the handler may replace itself, or end the button's owner, while it runs.
    const Handler handler = m_handler;
    handler();
}

} // namespace tolvaran
