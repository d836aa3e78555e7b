#include "app/cards/ReadingOrderFocus.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QButtonGroup>
#include <QWidget>

#include <algorithm>

namespace tolvaran::ReadingOrderFocus {

namespace {

// The buttons of an exclusive group are one stop, its checked button, as Qt and the usual
// convention for radio groups have it; the arrow keys move within the group.
bool isUncheckedGroupMember(const QWidget *widget)
{
    const auto *button = qobject_cast<const QAbstractButton *>(widget);
    const QButtonGroup *group = button ? button->group() : nullptr;
    return group && group->exclusive() && group->checkedButton()
           && group->checkedButton() != button;
}

bool isStop(const QWidget *widget)
{
    return widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus)
           && !isUncheckedGroupMember(widget) && !qobject_cast<const QAbstractScrollArea *>(widget)
           && !widget->focusProxy();
}

} // namespace

QList<QWidget *> stops(QWidget *region)
{
    struct Stop
    {
        QWidget *widget;
        QRect area; // in the region's coordinates
    };
    QList<Stop> found;
    if (!region || !region->isVisible())
        return {};
    QList<QWidget *> candidates = region->findChildren<QWidget *>();
    candidates.prepend(region);
    for (QWidget *widget : candidates) {
        if (isStop(widget))
            found.append({widget, QRect(widget->mapTo(region, QPoint()), widget->size())});
    }
    std::stable_sort(found.begin(), found.end(), [](const Stop &a, const Stop &b) {
        return a.area.center().y() < b.area.center().y();
    });
    QList<QWidget *> ordered;
    for (qsizetype start = 0; start < found.size();) {
        // A row: every stop whose middle lies within the vertical span of the row's first.
        int bottom = found[start].area.bottom();
        qsizetype end = start + 1;
        while (end < found.size() && found[end].area.center().y() <= bottom) {
            bottom = std::max(bottom, found[end].area.bottom());
            ++end;
        }
        std::stable_sort(found.begin() + start, found.begin() + end,
                         [](const Stop &a, const Stop &b) { return a.area.x() < b.area.x(); });
        for (qsizetype index = start; index < end; ++index)
            ordered.append(found[index].widget);
        start = end;
    }
    return ordered;
}

bool moveFocus(const QList<QWidget *> &chain, QWidget *current, bool next)
{
    if (chain.isEmpty())
        return false;
    qsizetype at = -1;
    for (QWidget *holder = current; holder && at < 0; holder = holder->parentWidget())
        at = chain.indexOf(holder);
    const qsizetype count = chain.size();
    const qsizetype target = at < 0 ? (next ? 0 : count - 1)
                                    : (at + (next ? 1 : count - 1)) % count;
    chain[target]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

} // namespace tolvaran::ReadingOrderFocus
