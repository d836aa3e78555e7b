#include "markdown_view/FocusTarget.h"

#include "markdown_view/DocumentLayout.h"
#include "markdown_view/MarkdownView.h"
#include "markdown_view/items/TextItem.h"

#include <algorithm>
#include <functional>
#include <tuple>
#include <utility>

namespace tolvaran::markdown {

QList<FocusTarget> focusTargets(DocumentLayout &layout, qsizetype index)
{
    QList<FocusTarget> targets;
    BlockItem *block = layout.builtItem(index);
    if (!block)
        return targets;
    HorizontalScrollItem *window = nullptr;
    QRectF windowFrame;
    int blockLinks = 0;
    const std::function<void(BlockItem &, QPointF)> visit = [&](BlockItem &item,
                                                                 QPointF origin) {
        const QRectF frame(origin, item.size());
        const auto linkTo = [&](BlockItem *target, int link, const QUrl &url,
                                QList<QRectF> rects) {
            targets.append({FocusTarget::Kind::link, index, target, link, blockLinks++, url,
                            std::move(rects), window, windowFrame});
        };
        if (auto *text = dynamic_cast<TextItem *>(&item)) {
            const QList<TextItem::Link> links = text->links();
            for (qsizetype link = 0; link < links.size(); ++link) {
                if (!MarkdownView::opensOnDesktop(links[link].url))
                    continue;
                QList<QRectF> rects;
                for (const QRectF &line : links[link].lines)
                    rects.append(line.translated(origin));
                linkTo(text, int(link), links[link].url, rects);
            }
        } else if (auto *image = dynamic_cast<LabelledItem *>(&item)) {
            if (MarkdownView::opensOnDesktop(image->url()) && !frame.isEmpty()) {
                linkTo(image, 0, image->url(), {frame});
                return;
            }
        } else if (auto *scroll = dynamic_cast<HorizontalScrollItem *>(&item)) {
            if (!scroll->scrollBarRect().isEmpty())
                targets.append(
                    {FocusTarget::Kind::scroller, index, scroll, 0, -1, {}, {frame}, nullptr, {}});
            // What it holds shows through it.
            const auto outer = std::pair{window, windowFrame};
            window = scroll;
            windowFrame = frame;
            for (const BlockItem::Child &child : item.children())
                visit(*child.item, origin + child.position);
            std::tie(window, windowFrame) = outer;
            return;
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

FocusTarget scrolledIntoWindow(DocumentLayout &layout, const FocusTarget &target, qreal margin)
{
    if (!target.window || target.rects.isEmpty())
        return target;
    const QRectF where = target.rects.first().adjusted(-margin, 0, margin, 0);
    const QRectF &frame = target.windowFrame;
    const qreal shown = target.window->offset();
    qreal offset = shown;
    if (where.right() > frame.right())
        offset += where.right() - frame.right();
    // Its left edge wins where it is wider than the window.
    const qreal left = where.left() + shown - offset;
    if (left < frame.left())
        offset -= frame.left() - left;
    if (!target.window->scrollTo(offset))
        return target;
    return refreshedFocusTarget(layout, target).value_or(target);
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
