#pragma once

#include "markdown/BlockNode.h"
#include "markdown_view/BlockItem.h"
#include "markdown_view/StyleContext.h"

#include <QList>

#include <vector>

class QPainter;

namespace tolvaran::markdown {

// The top-level blocks of a document laid out one below the other, lazily: a block's item is
// built and laid out only when the layout reaches it, always in document order, so showing
// the first screen of a long document costs only the blocks on it. Until every block is laid
// out, the height counts the rest by an estimate from the text still to come. Images meant
// for the other colour scheme than the context's are left out of each block as it is built.
class DocumentLayout final
{
public:
    DocumentLayout(QList<BlockNode> blocks, StyleContext context);

    const StyleContext &context() const { return m_context; }
    qsizetype blockCount() const { return qsizetype(m_entries.size()); }
    qsizetype laidOutCount() const { return m_laidOut; }
    bool isComplete() const { return m_laidOut == blockCount(); }

    // Lays out again for `width` from the first block on.
    void setWidth(qreal width);
    qreal width() const { return m_width; }

    // Lays blocks out until one ends below `bottom` (or all are); then `count` more blocks,
    // building and laying them out on worker threads too when there are many, waiting for
    // them to finish (each block's item is independent of the others, and text layout needs
    // only fonts, which Qt keeps per thread).
    void layoutThrough(qreal bottom);
    void layoutMore(qsizetype count);
    void layoutAll();

    qreal height() const;

    // Paints the laid-out blocks that meet `exposed` (document coordinates). Blocks painted
    // before that are now far from it drop their text layouts.
    void paint(QPainter &painter, const QPalette &palette, const QRectF &exposed);

    // The laid-out block item at `index` and its frame; none when not laid out yet.
    const BlockItem *item(qsizetype index) const;
    QRectF blockFrame(qsizetype index) const;

    // Lays out again the blocks whose content asked for it (an image arrived) and moves the
    // blocks below them; returns whether any did.
    bool relayoutRequested();

    SelectableText *textItemAt(const QPointF &point, QPointF *origin);
    // The link of a linked block (an image) at `point`; empty where there is none.
    QUrl blockLinkAt(const QPointF &point) const;
    bool scrollHorizontally(const QPointF &point, qreal delta);
    // The sideways scrolling block whose scroll bar is at `point`, and the block's origin;
    // none where there is no bar.
    HorizontalScrollItem *scrollBarAt(const QPointF &point, QPointF *origin);

private:
    struct Entry
    {
        BlockNode node;
        BlockItemPointer item;
        BlockMargin margin;
        qreal y = 0;
        qsizetype weight = 0; // characters, for the height estimate
        bool anyThread = true; // may be built and laid out off the GUI thread
    };

    // Builds the entry's item where it has none and lays it out at the width; touches
    // nothing but the entry, so entries may be prepared on several threads at once.
    void prepare(Entry &entry) const;
    void layoutNext();
    // Prepares the blocks from the first not laid out up to `end` on the thread pool's
    // threads and this one, when there are enough; this one also prepares the blocks that
    // must be built on the GUI thread. When there are few, leaves them all to layoutNext.
    void prepareInParallel(qsizetype end);
    // The laid-out entry whose block starts last above `y`; none above the first.
    const Entry *entryAt(qreal y) const;

    StyleContext m_context;
    std::vector<Entry> m_entries;
    qreal m_width = 0;
    qsizetype m_laidOut = 0;
    qsizetype m_laidOutWeight = 0;
    qsizetype m_totalWeight = 0;
    qreal m_laidOutBottom = 0;
    std::vector<qsizetype> m_painted; // blocks that may hold text layouts
};

} // namespace tolvaran::markdown
