#include "widgets/AccessibleRole.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QVariant>

namespace tolvaran::AccessibleRole {

namespace {

constexpr char roleProperty[] = "tolvaranAccessibleRole";

class TabInterface final : public QAccessibleWidget
{
public:
    explicit TabInterface(QAbstractButton *button)
        : QAccessibleWidget(button, QAccessible::PageTab)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        QString text = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && text.isEmpty())
            text = button()->text().remove(QLatin1Char('&'));
        return text;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.selectable = true;
        state.selected = button()->isChecked();
        return state;
    }

    QStringList actionNames() const override
    {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QAbstractButton *button() const { return static_cast<QAbstractButton *>(widget()); }
};

QAccessibleInterface *interfaceFor(const QString &, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    const QVariant role = object->property(roleProperty);
    if (!role.isValid())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (role.toInt() == QAccessible::PageTab)
        return new TabInterface(static_cast<QAbstractButton *>(widget));
    return new QAccessibleWidget(widget, QAccessible::Role(role.toInt()));
}

void mark(QWidget *widget, QAccessible::Role role)
{
    // Installed once; the factories installed last are asked first, so ours comes before Qt's
    // own for the widgets that carry the property.
    static const bool installed = [] {
        QAccessible::installFactory(interfaceFor);
        return true;
    }();
    Q_UNUSED(installed);
    widget->setProperty(roleProperty, int(role));
    // Qt may have made the widget's interface already (a button's, as it was built); it is
    // cached for the widget's life, so it is dropped for ours to be made at the next query.
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(widget)) {
        if (made->role() != role)
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}

} // namespace

void markAsTab(QAbstractButton *button)
{
    mark(button, QAccessible::PageTab);
    QObject::connect(button, &QAbstractButton::toggled, button, [button] {
        QAccessible::State changed;
        changed.selected = true;
        QAccessibleStateChangeEvent event(button, changed);
        QAccessible::updateAccessibility(&event);
    });
}

void markAsTabList(QWidget *bar)
{
    mark(bar, QAccessible::PageTabList);
}

} // namespace tolvaran::AccessibleRole
