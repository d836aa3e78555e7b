#include "markdown_view/FocusTarget.h"

#include "markdown_view/DocumentLayout.h"
#include "markdown_view/MarkdownView.h"
#include "markdown_view/items/TextItem.h"

#include <algorithm>
#include <functional>

namespace tolvaran::markdown {

QList<FocusTarget> focusTargets(DocumentLayout &layout, qsizetype index)
{
    QList<FocusTarget> targets;
    BlockItem *block = layout.builtItem(index);
    if (!block)
        return targets;
    const std::function<void(BlockItem &, QPointF)> visit = [&](BlockItem &item,
                                                                 QPointF origin) {
        const QRectF frame(origin, item.size());
        if (auto *text = dynamic_cast<TextItem *>(&item)) {
            const QList<TextItem::Link> links = text->links();
            for (qsizetype link = 0; link < links.size(); ++link) {
                if (!MarkdownView::opensOnDesktop(links[link].url))
                    continue;
                QList<QRectF> rects;
                for (const QRectF &line : links[link].lines)
                    rects.append(line.translated(origin));
                targets.append({FocusTarget::Kind::link, index, text, int(link),
                                links[link].url, rects});
            }
        } else if (auto *image = dynamic_cast<LabelledItem *>(&item)) {
            if (MarkdownView::opensOnDesktop(image->url()) && !frame.isEmpty()) {
                targets.append({FocusTarget::Kind::link, index, image, 0, image->url(),
                                {frame}});
                return;
            }
        } else if (auto *scroll = dynamic_cast<HorizontalScrollItem *>(&item)) {
            if (!scroll->scrollBarRect().isEmpty())
                targets.append({FocusTarget::Kind::scroller, index, scroll, 0, {}, {frame}});
        }
        for (const BlockItem::Child &child : item.children())
            visit(*child.item, origin + child.position);
    };
    visit(*block, layout.blockFrame(index).topLeft());
    return targets;
}

std::optional<FocusTarget> nextFocusTarget(DocumentLayout &layout,
                                           const std::optional<FocusTarget> &current,
                                           bool forward, const QRectF &shown)
{
    const qsizetype step = forward ? 1 : -1;
    qsizetype block = current ? current->block
                              : std::max<qsizetype>(0, layout.blockAt(forward ? shown.top()
                                                                              : shown.bottom()));
    for (; block >= 0; block += step) {
        layout.layoutThroughBlock(block);
        if (block >= layout.laidOutCount())
            break;
        if (!layout.mayHoldLinksOrCode(block))
            continue;
        QList<FocusTarget> targets = focusTargets(layout, block);
        if (!forward)
            std::reverse(targets.begin(), targets.end());
        qsizetype first = 0;
        if (current && block == current->block) {
            // The ones after the current target.
            const auto at = std::find_if(targets.begin(), targets.end(), [&](const auto &target) {
                return target.isSame(*current);
            });
            first = at == targets.end() ? 0 : qsizetype(at - targets.begin()) + 1;
        }
        for (qsizetype index = first; index < targets.size(); ++index) {
            const QRectF where = targets[index].rects.value(0);
            // Without a current target, the search starts with what shows.
            const bool before = forward ? where.bottom() <= shown.top()
                                        : where.top() >= shown.bottom();
            if (!current && before)
                continue;
            return targets[index];
        }
    }
    return std::nullopt;
}

std::optional<FocusTarget> refreshedFocusTarget(DocumentLayout &layout,
                                                const FocusTarget &target)
{
    if (target.block < 0 || target.block >= layout.laidOutCount())
        return std::nullopt;
    for (const FocusTarget &now : focusTargets(layout, target.block)) {
        if (now.isSame(target))
            return now;
    }
    return std::nullopt;
}

} // namespace tolvaran::markdown
