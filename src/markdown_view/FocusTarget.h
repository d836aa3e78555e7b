#pragma once

#include "markdown_view/items/BlockItem.h"

#include <QList>
#include <QRectF>
#include <QUrl>

#include <optional>

namespace tolvaran::markdown {

class DocumentLayout;

// Something of a laid-out document that the keyboard reaches with Tab: a link that opens (in
// text, or around an image) or a code block or table wider than its box, which the arrow keys
// then scroll sideways.
struct FocusTarget
{
    enum class Kind { link, scroller };

    Kind kind = Kind::link;
    qsizetype block = -1;            // the top-level block it stands in
    BlockItem *item = nullptr;       // its text, linked image or scrolling item
    int link = 0;                    // which of the text's links
    int blockLink = -1;              // which of its block's links, in reading order
    QUrl url;                        // where a link leads
    QList<QRectF> rects;             // where it shows, in document coordinates
    // The sideways scrolling item that a link shows through (in a wide table), and its frame
    // in document coordinates; none elsewhere.
    HorizontalScrollItem *window = nullptr;
    QRectF windowFrame;

    // The same target, wherever it shows now.
    bool isSame(const FocusTarget &other) const
    {
        return kind == other.kind && block == other.block && item == other.item
               && link == other.link;
    }
};

// The targets of the block at `index` of `layout`, in reading order.
QList<FocusTarget> focusTargets(DocumentLayout &layout, qsizetype index);

// The target after `current` (before it, when not `forward`), laying blocks out as far as the
// search goes; without a current target, the first one that shows in `shown` or after it
// (the last one that shows or before it). None past the end.
std::optional<FocusTarget> nextFocusTarget(DocumentLayout &layout,
                                           const std::optional<FocusTarget> &current,
                                           bool forward, const QRectF &shown);

// `target` after its window, where it has one, scrolled sideways the least that shows it with
// `margin` beside it (its start, where it is wider than the window), as it shows then.
FocusTarget scrolledIntoWindow(DocumentLayout &layout, const FocusTarget &target, qreal margin);

// `target` as it shows now (after a new layout), or none when it is gone.
std::optional<FocusTarget> refreshedFocusTarget(DocumentLayout &layout,
                                                const FocusTarget &target);

} // namespace tolvaran::markdown
