#pragma once

#include "markdown/nodes/BlockNode.h"
#include "markdown_view/items/BlockItem.h"
#include "markdown_view/items/ImagePixelBudget.h"
#include "markdown_view/theme/StyleContext.h"

#include <QList>

#include <limits>
#include <vector>

class QPainter;

namespace tolvaran::markdown {

class PicturePlace;

// The top-level blocks of a document laid out one below the other, lazily: a block's item is
// built and laid out only when the layout reaches it, always in document order, so showing
// the first screen of a long document costs only the blocks on it. Until every block is laid
// out, the height counts the rest by an estimate from the text still to come. Images meant
// for the other colour scheme than the context's are left out of each block as it is built.
//
// Once a part of the document has been painted, only the blocks near it keep their items: a
// block laid out or scrolled further away keeps its size and margins and drops its item, which
// is built again, the same, when it is needed. A laid-out document therefore holds items for
// about a screen, not for all of its text. Blocks whose items hold state of their own keep
// them: blocks with images (loaded once), code scrolled sideways, and the pinned ones. The
// pictures hold their decoded pixels under one budget (ImagePixelBudget), those painted
// longest ago letting go of theirs first.
class DocumentLayout final
{
public:
    DocumentLayout(QList<BlockNode> blocks, StyleContext context);

    const StyleContext &context() const { return m_context; }
    // What the document's pictures hold in decoded pixels, and their limit.
    const ImagePixelBudget &imagePixelBudget() const { return m_imagePixelBudget; }
    qsizetype blockCount() const { return qsizetype(m_entries.size()); }
    qsizetype laidOutCount() const { return m_laidOut; }
    bool isComplete() const { return m_laidOut == blockCount(); }

    // Lays out again for `width` from the first block on.
    void setWidth(qreal width);
    qreal width() const { return m_width; }

    // Lays blocks out until one ends below `bottom` (or all are); then `count` more blocks,
    // building and laying them out on worker threads too when there are many, waiting for
    // them to finish (each block's item is independent of the others, and text layout needs
    // only fonts, which Qt keeps per thread); at most a few threads, and once the last block
    // is laid out the worker threads go, with their fonts (releaseIdleSideBySideHelpers).
    void layoutThrough(qreal bottom);
    void layoutMore(qsizetype count);
    void layoutAll();

    qreal height() const;

    // Paints the laid-out blocks that meet `exposed` (document coordinates), all their text
    // selected with `selectsAll`. Blocks far from it drop their items (or, where they keep
    // them, their text layouts).
    void paint(QPainter &painter, const QPalette &palette, const QRectF &exposed,
               bool selectsAll = false);

    // Tells the pictures whose place lies in `shown` (document coordinates: the part of the
    // document the view shows, whatever part a paint exposes) that they are in view, those
    // that take no room yet among them, and those the reader scrolled away from since that
    // they left it (PicturePlace::setInView): block pictures and pictures in lines of text
    // alike, ranked by their places alone. An empty `shown` (the view hidden) leaves none in
    // view. Those in view are told from the bottom up, so that the top one is the latest
    // drawn and its load goes first: the reader reads from the top, and a picture arriving
    // there moves those below it down.
    void markPicturesInView(const QRectF &shown);

    // The item of the laid-out block at `index` as it is now (none when not laid out yet or
    // dropped), and its frame.
    const BlockItem *item(qsizetype index) const;
    QRectF blockFrame(qsizetype index) const;
    // The item of the laid-out block at `index`, built again if it was dropped; none when the
    // block is not laid out yet.
    BlockItem *builtItem(qsizetype index);
    // The laid-out block that holds `y`, or the last one starting above it; -1 above the
    // first.
    qsizetype blockAt(qreal y) const;
    // Lays blocks out until the one at `index` is (or all are).
    void layoutThroughBlock(qsizetype index);
    // Blocks whose items must stay, whatever part is shown (a selection, a focus, a drag
    // holds on to their items); replaces the blocks pinned before.
    void setPinnedBlocks(const QList<qsizetype> &blocks);
    // Whether the block may hold a link, code or a table (which the keyboard may reach).
    bool mayHoldLinksOrCode(qsizetype index) const;
    // Every selectable text of the whole document in reading order, a line apart within a
    // block and a blank line between blocks; lays the whole document out.
    QString selectableText();

    // Lays out again the blocks whose content asked for it (an image arrived) and moves the
    // blocks below them; returns whether any did.
    bool relayoutRequested();

    SelectableText *textItemAt(const QPointF &point, QPointF *origin);
    // The link of a linked block (an image) at `point`; empty where there is none.
    QUrl blockLinkAt(const QPointF &point);
    bool scrollHorizontally(const QPointF &point, qreal delta);
    // The sideways scrolling block whose scroll bar is at `point`, and the block's origin;
    // none where there is no bar.
    HorizontalScrollItem *scrollBarAt(const QPointF &point, QPointF *origin);

private:
    struct Entry
    {
        explicit Entry(BlockNode block)
            : node(std::move(block))
        {
        }

        BlockNode node;
        BlockItemPointer item; // none before it is built and while it is dropped
        BlockMargin margin;
        QSizeF size;
        qreal y = 0;
        qreal measuredWidth = -1; // the width `size` and `margin` hold for
        qsizetype weight = 0;     // characters, for the height estimate
        bool anyThread = true;    // may be built and laid out off the GUI thread
        bool holdsImages = false;
        bool holdsLinksOrCode = false;
        bool pinned = false;
        bool listed = false; // in m_built
    };

    // Unless the entry is measured at the width already: builds its item where it has none
    // and lays it out, noting its size and margins; with `mayDrop`, drops the item again when
    // it can be built anew. Touches nothing but the entry, so entries may be prepared on
    // several threads at once.
    void prepare(Entry &entry, bool mayDrop) const;
    bool droppable(const Entry &entry) const;
    void layoutNext();
    // Prepares the blocks from the first not laid out up to `end` side by side on helper
    // threads and this one, when there are enough; this one first prepares the blocks that
    // must be built on the GUI thread. When there are few, leaves them all to layoutNext.
    // Returns whether helpers were used.
    bool prepareInParallel(qsizetype end);
    // The laid-out entry whose block starts last above `y`; none above the first.
    Entry *entryAt(qreal y);
    // Keeps the items of the blocks near `shown` and drops the others' (where they can be
    // built anew) or their text layouts.
    void keepItemsNear(const QRectF &shown);
    bool isNearShown(const Entry &entry) const;
    void track(qsizetype index);

    // Before the entries, so that it outlives the picture items that hold pixels under it.
    ImagePixelBudget m_imagePixelBudget;
    StyleContext m_context;
    std::vector<Entry> m_entries;
    qreal m_width = 0;
    qsizetype m_laidOut = 0;
    qsizetype m_laidOutWeight = 0;
    qsizetype m_totalWeight = 0;
    qreal m_laidOutBottom = 0;
    // The part of the document whose blocks keep their items: all of it until a part is
    // painted.
    qreal m_keptTop;
    qreal m_keptBottom;
    std::vector<qsizetype> m_built; // blocks that may hold items
    QList<qsizetype> m_pinned;
    // A picture told it is in view, and not since that it left, in the block at `block`.
    // Blocks with pictures keep their items for the layout's life (droppable), and items
    // their pictures, so the pointer stays valid.
    struct CountedPicture
    {
        qsizetype block = 0;
        PicturePlace *picture = nullptr;
    };
    std::vector<CountedPicture> m_picturesInView;
    // The top of the part shown when pictures were last marked, to tell a move back up.
    qreal m_shownTop = -std::numeric_limits<qreal>::infinity();
};

} // namespace tolvaran::markdown
