#pragma once

#include <QIcon>
#include <QToolButton>

#include <functional>

namespace tolvaran {

// The button of the whole browser window: a click runs a stored closure. Owners store
// closures that hold them through a QPointer, so a click on a button that outlives its owner
// does nothing.
class ClosureButton final : public QToolButton
{
    Q_OBJECT

public:
    using Handler = std::function<void()>;

    explicit ClosureButton(QWidget *parent = nullptr);
    // Shows the icon before the title, or the icon alone when the title is empty.
    ClosureButton(const QString &title, const QIcon &icon, Handler handler,
                  QWidget *parent = nullptr);

    // An image-only, flat button showing `symbolName` (SymbolIconTable) with `help` as its tooltip
    // and accessible name; no handler yet.
    static ClosureButton *symbol(const QString &symbolName, const QString &help,
                                 QWidget *parent = nullptr);

    const Handler &handler() const { return m_handler; }
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    // Runs the handler, when there is one.
    void invoke();

private:
    Handler m_handler;
};

} // namespace tolvaran
