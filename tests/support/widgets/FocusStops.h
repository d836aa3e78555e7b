#pragma once

// What a keyboard or screen-reader user meets on a screen: the controls Tab stops at, the name
// each is announced by, whether each shows that it holds the focus, and which objects of the
// accessibility tree read as focused. Header-only: the support library links no widgets.

#include "support/QtPrinters.h"
#include "support/WaitUntil.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QStringList>
#include <QWidget>

#include <gtest/gtest.h>


namespace tolvaran::fixtures {

// The widgets of `root` (itself included) that take the focus from Tab: shown, enabled, with a
// Tab focus policy and no proxy taking the focus in their place.
inline QList<QWidget *> focusStops(QWidget *root)
{
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    QList<QWidget *> stops;
    for (QWidget *widget : widgets) {
        if (widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus)
            && !widget->focusProxy() && !widget->isWindow())
            stops.append(widget);
    }
    return stops;
}

// Makes `window` the active window, so that its controls can take the focus. (Qt counts a
// dialog as active while its parent window is, which is not enough for its controls.)
inline bool activated(QWidget *window)
{
    window->activateWindow();
    return waitUntil([window] { return QApplication::activeWindow() == window; });
}

inline QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *node = QAccessible::queryAccessibleInterface(widget);
    return node ? node->text(QAccessible::Name) : QString();
}

// Whether all of `widget` shows: no widget it lies in (a scrolled viewport) cuts any of it off.
inline bool shownWhole(const QWidget *widget)
{
    if (!widget || !widget->isVisible())
        return false;
    for (QRect area = widget->rect(); !widget->isWindow(); widget = widget->parentWidget()) {
        area.translate(widget->pos());
        if (!widget->parentWidget()->rect().contains(area))
            return false;
    }
    return true;
}

// The widget's class and object name, for failure messages.
inline QString describeWidget(const QObject *widget)
{
    return QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ')
        + widget->objectName();
}

// The stops of `root` that assistive technology has no name for.
inline QStringList unnamedStops(QWidget *root)
{
    QStringList unnamed;
    for (QWidget *stop : focusStops(root)) {
        if (accessibleName(stop).trimmed().isEmpty())
            unnamed.append(describeWidget(stop));
    }
    return unnamed;
}

// Whether `stop` is drawn differently while it holds the keyboard focus than without it. Its
// window must be the active one.
inline bool showsFocus(QWidget *stop)
{
    // At least a short stroke, not one stray pixel of a redraw.
    constexpr int minimumChangedPixels = 4;
    // As after a Tab press: styles draw the focus frame only for focus that came by keyboard.
    stop->window()->setAttribute(Qt::WA_KeyboardFocusChange);
    stop->setFocus(Qt::TabFocusReason);
    if (!stop->hasFocus()) {
        ADD_FAILURE() << describeWidget(stop).toStdString() << " takes no focus";
        return false;
    }
    const QImage focused = stop->grab().toImage();
    stop->clearFocus();
    const QImage unfocused = stop->grab().toImage();
    if (focused.size() != unfocused.size())
        return true;
    int changed = 0;
    for (int y = 0; y < focused.height(); ++y) {
        for (int x = 0; x < focused.width(); ++x) {
            if (focused.pixel(x, y) != unfocused.pixel(x, y))
                ++changed;
        }
    }
    return changed >= minimumChangedPixels;
}

// The stops of `root` that look the same with and without the focus.
inline QStringList stopsWithoutVisibleFocus(QWidget *root)
{
    QStringList invisible;
    for (QWidget *stop : focusStops(root)) {
        if (!showsFocus(stop))
            invisible.append(describeWidget(stop));
    }
    return invisible;
}

// The names of every object under `root` in the accessibility tree (the items of lists and
// tables among them) that reads as focused.
inline QStringList focusedObjects(QWidget *root)
{
    QStringList focused;
    QList<QAccessibleInterface *> pending{QAccessible::queryAccessibleInterface(root)};
    while (!pending.isEmpty()) {
        QAccessibleInterface *node = pending.takeLast();
        if (!node || !node->isValid())
            continue;
        if (node->state().focused)
            focused.append(node->text(QAccessible::Name));
        for (int index = 0; index < node->childCount(); ++index)
            pending.append(node->child(index));
    }
    return focused;
}

} // namespace tolvaran::fixtures
