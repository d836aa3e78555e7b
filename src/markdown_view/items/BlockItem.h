#pragma once

#include "markdown_view/theme/BlockMargin.h"
#include "markdown_view/theme/Color.h"

#include <QColor>
#include <QMarginsF>
#include <QPalette>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace tolvaran::markdown {

class SelectableText;
class BlockItem;

// The width offered to content measured without a limit: sideways-scrolling content, and
// table cells measured for their natural width. A frame that fills the width offered keeps
// its content's own width at this one.
inline constexpr qreal unboundedWidth = 1 << 24;
// Whether `width` is the unbounded width less the padding and margins on the way down.
inline constexpr bool isUnbounded(qreal width)
{
    return width >= unboundedWidth / 2;
}
using BlockItemPointer = std::unique_ptr<BlockItem>;

// What painting needs besides the painter: the palette (selection colours, the default
// text colour) and the part of the item that is exposed, in the item's coordinates.
struct PaintContext
{
    QPainter *painter = nullptr;
    QPalette palette;
    QRectF exposed;
    bool selectsAll = false; // every selectable text shows selected
};

// A laid-out piece of a rendered document: built from a node and a style context by a view
// function, laid out for a width, painted where exposed. Containers keep their children at
// positions their layout decides.
class BlockItem
{
public:
    struct Child
    {
        BlockItemPointer item;
        QPointF position;
    };

    virtual ~BlockItem();

    // Lays out for `width` (which may be unbounded for content that does not wrap) and
    // returns the size taken. Laying out again at the same width does nothing.
    QSizeF layout(qreal width);
    QSizeF size() const { return m_size; }

    // Paints at `origin` (the item's top left in the painter's coordinates).
    virtual void paint(const PaintContext &context, const QPointF &origin) const;

    // The margins this item reports to the run it stands in: by default the combined margins
    // of its children.
    virtual BlockMargin margins() const;

    // The narrowest width the item takes without breaking a word: its longest word or an
    // image's own width, with what is around them. Known once the item was laid out at the
    // unbounded width (as table cells are); by default the largest of its children's.
    virtual qreal minimumWidth() const;

    // How much lower the item's first line of text stands than it would without the pictures
    // standing in it: the room they take above its text, once laid out. By default its first
    // child's.
    virtual qreal firstLineRoom() const;

    const std::vector<Child> &children() const { return m_children; }

    // The text item under `point` (item coordinates) and its origin there; none when there
    // is no text at that point.
    virtual SelectableText *textItemAt(const QPointF &point, QPointF *origin);

    // Drops what laying out keeps only for painting (text layouts), in the whole subtree;
    // called for blocks that have left the view.
    virtual void releaseCaches();
    // Whether the subtree holds something an item built anew would not (code scrolled
    // sideways), so that it must not be dropped.
    virtual bool holdsState() const;

    // Horizontal scrolling of content wider than the view (code): scrolls the item under
    // `point` by `delta` pixels; false when nothing there scrolls.
    virtual bool scrollHorizontally(const QPointF &point, qreal delta);

    // The link target of a linked block (an image) at `point`; empty where there is none.
    // Links inside text are the text items' own (SelectableText::linkAt).
    virtual QUrl blockLinkAt(const QPointF &point) const;

    // Whether an item of this subtree asked to be laid out again (its content changed size,
    // as an image that arrived); every item on the way to it then lays out afresh next time.
    bool takeLayoutRequest();

protected:
    void addChild(BlockItemPointer child);
    void addChildren(std::vector<BlockItemPointer> children);
    void setNeedsLayout() { m_needsLayout = true; }
    virtual QSizeF doLayout(qreal width) = 0;
    void paintChildren(const PaintContext &context, const QPointF &origin) const;

    std::vector<Child> m_children;

private:
    QSizeF m_size;
    qreal m_laidOutWidth = -1;
    bool m_needsLayout = false;
};

// A block that stands for something (an image) under an accessible name and opens `url`
// when clicked, where it has one.
class LabelledItem final : public BlockItem
{
public:
    LabelledItem(BlockItemPointer child, const QString &accessibleName, const QUrl &url);
    const QString &accessibleName() const { return m_accessibleName; }
    const QUrl &url() const { return m_url; }
    QUrl blockLinkAt(const QPointF &point) const override;

protected:
    QSizeF doLayout(qreal width) override;

private:
    QString m_accessibleName;
    QUrl m_url;
};

// Children one below the other, without gaps, left-aligned.
class VStackItem final : public BlockItem
{
public:
    explicit VStackItem(std::vector<BlockItemPointer> children);

protected:
    QSizeF doLayout(qreal width) override;
};

// Children side by side, top-aligned: all but the last at their natural width, the last
// taking the width that is left.
class HStackItem final : public BlockItem
{
public:
    explicit HStackItem(std::vector<BlockItemPointer> children);
    qreal minimumWidth() const override;

protected:
    QSizeF doLayout(qreal width) override;
};

// A vertical run of blocks, spaced by the margins its blocks report (see gapAbove).
class SequenceItem final : public BlockItem
{
public:
    SequenceItem(std::vector<BlockItemPointer> children, bool tight);

protected:
    QSizeF doLayout(qreal width) override;

private:
    bool m_tight;
};

class PaddingItem final : public BlockItem
{
public:
    PaddingItem(BlockItemPointer child, const QMarginsF &padding);
    qreal minimumWidth() const override;

protected:
    QSizeF doLayout(qreal width) override;

private:
    QMarginsF m_padding;
};

// Raises the margins its child reports to at least the given ones.
class MarginItem final : public BlockItem
{
public:
    MarginItem(BlockItemPointer child, const BlockMargin &margin);
    BlockMargin margins() const override;

protected:
    QSizeF doLayout(qreal width) override;

private:
    BlockMargin m_margin;
};

// A filled, optionally rounded and outlined rectangle behind its child; its child is clipped
// to the rounded shape.
class BackgroundItem final : public BlockItem
{
public:
    BackgroundItem(BlockItemPointer child, const QColor &color, qreal radius,
                   const std::optional<QColor> &outline = std::nullopt);
    void paint(const PaintContext &context, const QPointF &origin) const override;

protected:
    QSizeF doLayout(qreal width) override;

private:
    QColor m_color;
    qreal m_radius;
    std::optional<QColor> m_outline;
};

// Its child beside a rounded bar down the leading edge, the bar as tall as the child.
class LeadingBarItem final : public BlockItem
{
public:
    LeadingBarItem(BlockItemPointer child, const QColor &color, qreal width, qreal radius);
    void paint(const PaintContext &context, const QPointF &origin) const override;
    qreal minimumWidth() const override;

protected:
    QSizeF doLayout(qreal width) override;

private:
    QColor m_color;
    qreal m_width;
    qreal m_radius;
};

// Its child framed: at least `minimumWidth` wide (or exactly `width`, or as wide as offered
// when `fillWidth`), the child aligned inside horizontally.
class FrameItem final : public BlockItem
{
public:
    struct Frame
    {
        std::optional<qreal> minimumWidth;
        std::optional<qreal> width;
        std::optional<qreal> height;
        bool fillWidth = false;
        Qt::Alignment alignment = Qt::AlignLeft;
    };
    FrameItem(BlockItemPointer child, const Frame &frame);
    qreal minimumWidth() const override;

protected:
    QSizeF doLayout(qreal width) override;

private:
    Frame m_frame;
};

// A horizontal rule across the width offered.
class DividerItem final : public BlockItem
{
public:
    DividerItem(const std::optional<QColor> &color, qreal thickness);
    void paint(const PaintContext &context, const QPointF &origin) const override;

protected:
    QSizeF doLayout(qreal width) override;

private:
    std::optional<QColor> m_color;
    qreal m_thickness;
};

// Content wider than the width offered, shown through a window, scrolled sideways (wide code
// and tables). Where the content is wider than the window, a scroll bar below it shows which
// part is in view; it takes its own room, so it never covers the content.
class HorizontalScrollItem final : public BlockItem
{
public:
    enum class ContentWidth {
        // Laid out without a width limit, in a window as wide as offered (code never wraps).
        unbounded,
        // Laid out for the width offered, which it passes only when it must (a table whose
        // words do not fit), in a window as wide as the content up to the width offered.
        offered,
    };

    // The room the bar takes below the content: the bar and a margin above and below it.
    static constexpr qreal scrollBarHeight = 10;
    static constexpr qreal scrollBarMargin = 2;
    // The thumb is never narrower than this, so that it stays easy to grab.
    static constexpr qreal minimumThumbWidth = 24;

    explicit HorizontalScrollItem(BlockItemPointer child,
                                  ContentWidth contentWidth = ContentWidth::unbounded);
    void paint(const PaintContext &context, const QPointF &origin) const override;
    bool scrollHorizontally(const QPointF &point, qreal delta) override;
    qreal minimumWidth() const override { return 0; }
    bool holdsState() const override { return m_offset != 0 || BlockItem::holdsState(); }

    qreal offset() const { return m_offset; }
    // Scrolls to `offset`, kept between the start and the end of the content; returns whether
    // the content moved.
    bool scrollTo(qreal offset);
    // The bar's track and the thumb in it, in item coordinates; empty while the content fits.
    QRectF scrollBarRect() const;
    QRectF thumbRect() const;
    // The offset that puts the thumb's left edge at `x` (item coordinates).
    qreal offsetForThumbAt(qreal x) const;

protected:
    QSizeF doLayout(qreal width) override;

private:
    qreal contentWidth() const { return m_children[0].item->size().width(); }
    qreal scrollLimit() const { return std::max<qreal>(0, contentWidth() - size().width()); }

    ContentWidth m_contentWidth;
    qreal m_offset = 0;
};

// The innermost item of type `Item` whose frame holds `point` (in `item`'s coordinates), and
// its origin there; none when there is no such item.
template <typename Item>
Item *innermostAt(BlockItem &item, const QPointF &point, QPointF *origin)
{
    for (const BlockItem::Child &child : item.children()) {
        if (!QRectF(child.position, child.item->size()).contains(point))
            continue;
        if (Item *inner = innermostAt<Item>(*child.item, point - child.position, origin)) {
            *origin += child.position;
            return inner;
        }
    }
    if (auto *own = dynamic_cast<Item *>(&item)) {
        *origin = QPointF();
        return own;
    }
    return nullptr;
}

// Text that can be selected and may hold links: positions are offsets into its text.
class SelectableText : public BlockItem
{
public:
    virtual const QString &text() const = 0;
    virtual bool isSelectable() const = 0;
    // The text position nearest to `point` (item coordinates).
    virtual int positionAt(const QPointF &point) = 0;
    // The link target of the run at `point`; empty when there is none.
    virtual QUrl linkAt(const QPointF &point) const = 0;

    // The selected range, anchor first (or none); painted with the palette's highlight.
    void setSelection(std::optional<std::pair<int, int>> selection) { m_selection = selection; }
    std::optional<std::pair<int, int>> selection() const { return m_selection; }
    QString selectedText() const;

    SelectableText *textItemAt(const QPointF &point, QPointF *origin) override;

protected:
    // The selection as [start, end), empty when nothing is selected.
    std::pair<int, int> orderedSelection() const;
    // The selection to paint: all of the text where everything is selected.
    std::pair<int, int> paintedSelection(const PaintContext &context) const;

private:
    std::optional<std::pair<int, int>> m_selection;
};

} // namespace tolvaran::markdown
