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

// The outermost scrolling area inside `region` (not `region` itself) that holds `widget`.
QWidget *outermostScrollingArea(QWidget *widget, const QWidget *region)
{
    QWidget *outermost = nullptr;
    if (widget == region)
        return outermost;
    for (QWidget *holder = widget->parentWidget(); holder && holder != region;
         holder = holder->parentWidget()) {
        if (qobject_cast<QAbstractScrollArea *>(holder))
            outermost = holder;
    }
    return outermost;
}

} // namespace

QList<QWidget *> stops(QWidget *region)
{
    // A stop, or a scrolling area standing for the stops inside it.
    struct Entry
    {
        QWidget *widget;
        QRect area; // in the region's coordinates
        bool scrolls = false;
    };
    QList<Entry> found;
    if (!region || !region->isVisible())
        return {};
    QList<QWidget *> candidates = region->findChildren<QWidget *>();
    candidates.prepend(region);
    QList<QWidget *> areas;
    for (QWidget *widget : candidates) {
        if (!isStop(widget))
            continue;
        // The stops inside a scrolling area are read together, where the area stands, in
        // the order of its content: by where they are scrolled to, rows scrolled above the
        // area would come before what stands above it.
        QWidget *area = outermostScrollingArea(widget, region);
        if (!area) {
            found.append({widget, QRect(widget->mapTo(region, QPoint()), widget->size())});
        } else if (!areas.contains(area)) {
            areas.append(area);
            found.append({area, QRect(area->mapTo(region, QPoint()), area->size()), true});
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const Entry &a, const Entry &b) {
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
                         [](const Entry &a, const Entry &b) { return a.area.x() < b.area.x(); });
        for (qsizetype index = start; index < end; ++index) {
            if (found[index].scrolls)
                ordered.append(stops(found[index].widget));
            else
                ordered.append(found[index].widget);
        }
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
