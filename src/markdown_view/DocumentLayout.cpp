#include "markdown_view/DocumentLayout.h"

#include "markdown_view/BlockViews.h"
#include "markdown_view/items/RemoteImageItem.h"
#include "markdown_view/items/TextItem.h"
#include "markdown_view/theme/ColorSchemeImageFilter.h"

#include "work/BackgroundJob.h"
#include "work/ForEachSideBySide.h"

#include <QPainter>

#include <algorithm>
#include <functional>
#include <limits>

namespace tolvaran::markdown {

namespace {

// Pixels of height per character of text, until laid-out blocks give a better figure.
constexpr qreal initialHeightPerCharacter = 0.25;
// What a block without text (a break, an empty paragraph) counts as.
constexpr qsizetype blockWeight = 40;
// Painted blocks within this distance of the part shown keep their text layouts.
constexpr qreal keptLayoutDistance = 2000;
// Blocks each thread takes at least when blocks are laid out in parallel: fewer are done on
// the calling thread alone, where handing them out would cost more than it saves.
constexpr qsizetype minimumParallelBlocks = 32;
// The most threads that lay blocks out at once, the calling one among them, whatever the
// cores. Each keeps fonts and glyph caches of its own (megabytes where CJK and emoji fonts
// are installed, and more of the heap left in pieces once they go), while the parse and the
// GUI thread's share of a document's layout leave little to gain beyond a few.
constexpr std::size_t maximumLayoutThreads = 4;

// What the layout needs to know of a block before building it.
struct BlockSummary
{
    qsizetype weight = 0; // characters, for the height estimate
    bool holdsImages = false;
    bool holdsCode = false;
    bool holdsTable = false;
    bool holdsLinks = false;
};

void summarise(const QList<InlineNode> &nodes, BlockSummary &summary)
{
    for (const InlineNode &node : nodes) {
        if (const auto *text = node.as<InlineNode::Text>()) {
            summary.weight += text->text.size();
        } else if (const auto *code = node.as<InlineNode::Code>()) {
            summary.weight += code->text.size();
        } else {
            summary.holdsImages = summary.holdsImages || node.as<InlineNode::Image>();
            summary.holdsLinks = summary.holdsLinks || node.as<InlineNode::Link>();
            summarise(node.children(), summary);
            summary.weight += 1;
        }
    }
}

void summarise(const BlockNode &block, BlockSummary &summary)
{
    summary.weight += blockWeight;
    if (const auto *paragraph = block.as<BlockNode::Paragraph>()) {
        summarise(paragraph->content, summary);
    } else if (const auto *heading = block.as<BlockNode::Heading>()) {
        summarise(heading->content, summary);
    } else if (const auto *code = block.as<BlockNode::CodeBlock>()) {
        summary.weight += code->content.size();
        summary.holdsCode = true;
    } else if (const auto *html = block.as<BlockNode::HtmlBlock>()) {
        summary.weight += html->content.size();
    } else if (const auto *table = block.as<BlockNode::Table>()) {
        summary.holdsTable = true;
        for (const RawTableRow &row : table->rows) {
            summary.weight += blockWeight;
            for (const RawTableCell &cell : row.cells)
                summarise(cell.content, summary);
        }
    }
    for (const BlockNode &child : block.children())
        summarise(child, summary);
}

// Whether a place from `top`, `height` high, meets the rows that `shown` spans. The document
// moves only up and down, so only rows count (a picture in a table scrolled sideways counts
// with its row). A picture still loading takes no room: it lies where its top will be.
bool meetsRows(qreal top, qreal height, const QRectF &shown)
{
    return !shown.isEmpty() && top < shown.bottom()
           && top + std::max<qreal>(0, height) >= shown.top();
}

// Adds the pictures of `item`, whose top is at `top`, that meet the rows of `shown`, in
// document order, those in lines of text among them. A subtree outside those rows holds none:
// children lie within their parent.
void collectPictures(BlockItem &item, qreal top, const QRectF &shown,
                     std::vector<PicturePlace *> &pictures)
{
    if (!meetsRows(top, item.size().height(), shown))
        return;
    if (auto *picture = dynamic_cast<RemoteImageItem *>(&item)) {
        pictures.push_back(picture);
        return;
    }
    if (auto *text = dynamic_cast<TextItem *>(&item)) {
        // A picture's place is its line: the line it stands on once shown, and until then the
        // line whose top its own will be, as it takes no room yet.
        const auto collect = [&](InlinePicture &picture, int position) {
            const QRectF line = text->lineRect(position);
            if (meetsRows(top + line.top(), line.height(), shown))
                pictures.push_back(&picture.item());
        };
        const QList<AttributedText::Image> &images = text->attributedText().images;
        for (const AttributedText::Image &image : images)
            collect(*image.picture, image.position);
        if (images.isEmpty()) {
            for (const std::unique_ptr<InlinePicture> &picture : text->pictures())
                collect(*picture, picture->position());
        }
        return;
    }
    for (const BlockItem::Child &child : item.children())
        collectPictures(*child.item, top + child.position.y(), shown, pictures);
}

} // namespace

DocumentLayout::DocumentLayout(QList<BlockNode> blocks, StyleContext context)
    : m_context(std::move(context))
    , m_keptTop(-std::numeric_limits<qreal>::infinity())
    , m_keptBottom(std::numeric_limits<qreal>::infinity())
{
    m_context.imagePixelBudget = &m_imagePixelBudget;
    // Image items load through objects that must live on the GUI thread, and a host's code
    // highlighter need not be thread-safe: blocks holding either are built here only.
    const bool ownHighlighter = m_context.codeSyntaxHighlighter != nullptr;
    m_entries.reserve(std::size_t(blocks.size()));
    for (BlockNode &block : blocks) {
        BlockSummary summary;
        summarise(block, summary);
        m_totalWeight += summary.weight;
        Entry &entry = m_entries.emplace_back(std::move(block));
        entry.weight = summary.weight;
        entry.anyThread = !summary.holdsImages && !(ownHighlighter && summary.holdsCode);
        entry.holdsImages = summary.holdsImages;
        entry.holdsLinksOrCode = summary.holdsLinks || summary.holdsCode || summary.holdsTable;
    }
}

void DocumentLayout::setWidth(qreal width)
{
    if (width == m_width)
        return;
    m_width = width;
    m_laidOut = 0;
    m_laidOutWeight = 0;
    m_laidOutBottom = 0;
}

bool DocumentLayout::droppable(const Entry &entry) const
{
    // Image items load once and keep what arrived; the others build again the same, unless
    // the reader changed them.
    return !entry.holdsImages && !entry.pinned && !(entry.item && entry.item->holdsState());
}

void DocumentLayout::prepare(Entry &entry, bool mayDrop) const
{
    if (entry.measuredWidth == m_width)
        return;
    if (!entry.item) {
        const QList<BlockNode> shown = filterImagesMatching({entry.node}, m_context.colorScheme);
        entry.item = blockView(shown.first())(m_context);
    }
    entry.size = entry.item->layout(m_width);
    entry.margin = entry.item->margins();
    entry.measuredWidth = m_width;
    if (mayDrop && droppable(entry))
        entry.item.reset();
}

bool DocumentLayout::isNearShown(const Entry &entry) const
{
    return entry.y + entry.size.height() >= m_keptTop && entry.y <= m_keptBottom;
}

void DocumentLayout::track(qsizetype index)
{
    Entry &entry = m_entries[std::size_t(index)];
    if (!entry.listed) {
        entry.listed = true;
        m_built.push_back(index);
    }
}

void DocumentLayout::layoutNext()
{
    Entry &entry = m_entries[std::size_t(m_laidOut)];
    prepare(entry, false);
    const BlockMargin previous =
        m_laidOut > 0 ? m_entries[std::size_t(m_laidOut - 1)].margin : BlockMargin();
    entry.y = m_laidOutBottom + gapAbove(m_laidOut, entry.margin, previous, false);
    m_laidOutBottom = entry.y + entry.size.height();
    m_laidOutWeight += entry.weight;
    if (entry.item) {
        if (!isNearShown(entry) && droppable(entry))
            entry.item.reset();
        else
            track(m_laidOut);
    }
    ++m_laidOut;
}

bool DocumentLayout::prepareInParallel(qsizetype end)
{
    std::vector<Entry *> anyThread;
    for (qsizetype index = m_laidOut; index < end; ++index) {
        Entry &entry = m_entries[std::size_t(index)];
        if (entry.anyThread)
            anyThread.push_back(&entry);
    }
    const std::size_t threads =
        std::min(maximumLayoutThreads, anyThread.size() / std::size_t(minimumParallelBlocks));
    if (threads < 2)
        return false;
    // Blocks that start below the part kept are dropped as soon as they are measured, on the
    // thread that built them.
    const bool mayDrop = m_laidOutBottom > m_keptBottom;
    // The copies the workers make of the context share the attributes resolved here, and the
    // platform's fonts are asked for once, on this thread.
    characterFormat(m_context.attributes(), m_context.colorScheme);
    // The blocks only this thread may build come first (few: those with pictures), in
    // document order.
    for (qsizetype index = m_laidOut; index < end; ++index) {
        Entry &entry = m_entries[std::size_t(index)];
        if (!entry.anyThread)
            prepare(entry, mayDrop);
    }
    forEachSideBySide(anyThread.size(), threads,
                      [&](std::size_t index) { prepare(*anyThread[index], mayDrop); });
    return true;
}

void DocumentLayout::layoutThrough(qreal bottom)
{
    while (!isComplete() && m_laidOutBottom <= bottom)
        layoutNext();
}

void DocumentLayout::layoutMore(qsizetype count)
{
    const qsizetype end = std::min(blockCount(), m_laidOut + count);
    const bool sideBySide = prepareInParallel(end);
    while (m_laidOut < end)
        layoutNext();
    // Each helper keeps fonts of its own for the text it laid out; once the document is all
    // laid out they are let go (a later layout makes them again), so that a shown document
    // does not hold a set per core. The release may wait for late helpers to be given a
    // thread, so it waits on a worker, not here on the GUI thread.
    if (sideBySide && isComplete())
        runInBackground(JobPriority::background, [] { releaseIdleSideBySideHelpers(); });
}

void DocumentLayout::layoutAll()
{
    layoutMore(blockCount() - m_laidOut);
}

qreal DocumentLayout::height() const
{
    if (isComplete())
        return m_laidOutBottom;
    const qreal perCharacter = m_laidOutWeight > 0 ? m_laidOutBottom / qreal(m_laidOutWeight)
                                                   : initialHeightPerCharacter;
    return m_laidOutBottom + perCharacter * qreal(m_totalWeight - m_laidOutWeight);
}

void DocumentLayout::keepItemsNear(const QRectF &shown)
{
    m_keptTop = shown.top() - keptLayoutDistance;
    m_keptBottom = shown.bottom() + keptLayoutDistance;
    std::vector<qsizetype> built;
    for (const qsizetype index : m_built) {
        Entry &entry = m_entries[std::size_t(index)];
        const bool near = index < m_laidOut && isNearShown(entry);
        if (entry.item && !near) {
            if (droppable(entry))
                entry.item.reset();
            else
                entry.item->releaseCaches();
        }
        entry.listed = entry.item != nullptr;
        if (entry.listed)
            built.push_back(index);
    }
    m_built = std::move(built);
}

void DocumentLayout::paint(QPainter &painter, const QPalette &palette, const QRectF &exposed,
                           bool selectsAll)
{
    keepItemsNear(exposed);
    m_imagePixelBudget.beginPaint();
    for (qsizetype index = std::max<qsizetype>(0, blockAt(exposed.top())); index < m_laidOut;
         ++index) {
        const Entry &entry = m_entries[std::size_t(index)];
        const QRectF frame(0, entry.y, m_width, entry.size.height());
        if (frame.top() > exposed.bottom())
            break;
        if (frame.bottom() < exposed.top())
            continue;
        PaintContext context{&painter, palette, exposed.translated(0, -entry.y), selectsAll};
        builtItem(index)->paint(context, QPointF(0, entry.y));
    }
}

void DocumentLayout::markPicturesInView(const QRectF &shown)
{
    std::vector<CountedPicture> inView;
    if (!shown.isEmpty()) {
        // Blocks lie one below the other: from the first that reaches the top of `shown`.
        const auto laidOut = m_entries.begin() + m_laidOut;
        auto entry = std::partition_point(m_entries.begin(), laidOut, [&](const Entry &e) {
            return e.y + std::max<qreal>(0, e.size.height()) < shown.top();
        });
        std::vector<PicturePlace *> found;
        for (; entry != laidOut && entry->y < shown.bottom(); ++entry) {
            if (!entry->holdsImages)
                continue;
            const qsizetype block = entry - m_entries.begin();
            found.clear();
            collectPictures(*builtItem(block), entry->y, shown, found);
            for (PicturePlace *picture : found)
                inView.push_back({block, picture});
        }
    }
    // A picture out of view has left it once the reader went past it (its block lies above
    // the view) or back up away from it, or the view was hidden. One that a picture arriving
    // above it moved down out of view, the view holding still, has not: it is still the next
    // the reader comes to, so it keeps its turn before the pictures never shown. Told first,
    // so that a picture at two places, one of them in view, ends in view.
    const bool wentBackUp = shown.isEmpty() || shown.top() < m_shownTop;
    std::vector<CountedPicture> movedDown;
    for (const CountedPicture &counted : m_picturesInView) {
        const bool stillInView =
            std::any_of(inView.begin(), inView.end(), [&](const CountedPicture &shownNow) {
                return shownNow.picture == counted.picture;
            });
        if (stillInView)
            continue;
        const Entry &entry = m_entries[std::size_t(counted.block)];
        const bool passed = counted.block < m_laidOut
                            && entry.y + std::max<qreal>(0, entry.size.height()) < shown.top();
        if (wentBackUp || passed)
            counted.picture->setInView(false);
        else
            movedDown.push_back(counted);
    }
    for (auto counted = inView.rbegin(); counted != inView.rend(); ++counted)
        counted->picture->setInView(true);
    inView.insert(inView.end(), movedDown.begin(), movedDown.end());
    m_picturesInView = std::move(inView);
    if (!shown.isEmpty())
        m_shownTop = shown.top();
}

const BlockItem *DocumentLayout::item(qsizetype index) const
{
    return index < m_laidOut ? m_entries[std::size_t(index)].item.get() : nullptr;
}

BlockItem *DocumentLayout::builtItem(qsizetype index)
{
    if (index < 0 || index >= m_laidOut)
        return nullptr;
    Entry &entry = m_entries[std::size_t(index)];
    if (!entry.item) {
        entry.measuredWidth = -1; // built and laid out again, at the same width
        prepare(entry, false);
        track(index);
    }
    return entry.item.get();
}

QRectF DocumentLayout::blockFrame(qsizetype index) const
{
    if (index >= m_laidOut)
        return {};
    const Entry &entry = m_entries[std::size_t(index)];
    return {QPointF(0, entry.y), entry.size};
}

qsizetype DocumentLayout::blockAt(qreal y) const
{
    const auto begin = m_entries.begin();
    const auto end = begin + m_laidOut;
    const auto next =
        std::upper_bound(begin, end, y, [](qreal top, const Entry &entry) { return top < entry.y; });
    return qsizetype(next - begin) - 1;
}

void DocumentLayout::layoutThroughBlock(qsizetype index)
{
    while (!isComplete() && m_laidOut <= index)
        layoutMore(std::max<qsizetype>(minimumParallelBlocks, index + 1 - m_laidOut));
}

void DocumentLayout::setPinnedBlocks(const QList<qsizetype> &blocks)
{
    for (const qsizetype index : std::as_const(m_pinned))
        m_entries[std::size_t(index)].pinned = false;
    m_pinned.clear();
    for (const qsizetype index : blocks) {
        if (index >= 0 && index < blockCount()) {
            m_entries[std::size_t(index)].pinned = true;
            m_pinned.append(index);
        }
    }
}

bool DocumentLayout::mayHoldLinksOrCode(qsizetype index) const
{
    return m_entries[std::size_t(index)].holdsLinksOrCode;
}

QString DocumentLayout::selectableText()
{
    layoutAll();
    const std::function<void(const BlockItem &, QStringList &)> collect =
        [&](const BlockItem &item, QStringList &texts) {
            const auto *text = dynamic_cast<const SelectableText *>(&item);
            if (text && text->isSelectable() && !text->text().isEmpty())
                texts.append(text->text());
            for (const BlockItem::Child &child : item.children())
                collect(*child.item, texts);
        };
    QStringList blocks;
    for (qsizetype index = 0; index < m_laidOut; ++index) {
        QStringList texts;
        collect(*builtItem(index), texts);
        if (!texts.isEmpty())
            blocks.append(texts.join(QLatin1Char('\n')));
    }
    return blocks.join(QStringLiteral("\n\n"));
}

bool DocumentLayout::relayoutRequested()
{
    qsizetype first = -1;
    bool requested = false;
    // Blocks built but not laid out again yet (after a new width) are asked too, so they do
    // not keep the size they had before their image came.
    for (qsizetype index = 0; index < blockCount(); ++index) {
        Entry &entry = m_entries[std::size_t(index)];
        if (!entry.item || !entry.item->takeLayoutRequest())
            continue;
        requested = true;
        entry.margin = entry.item->margins();
        entry.measuredWidth = -1;
        if (first < 0 && index < m_laidOut)
            first = index;
    }
    if (first < 0)
        return requested;
    const qsizetype laidOut = m_laidOut;
    m_laidOut = first;
    m_laidOutWeight = 0;
    for (qsizetype index = 0; index < first; ++index)
        m_laidOutWeight += m_entries[std::size_t(index)].weight;
    m_laidOutBottom = 0;
    if (first > 0) {
        const Entry &previous = m_entries[std::size_t(first - 1)];
        m_laidOutBottom = previous.y + previous.size.height();
    }
    layoutMore(laidOut - first);
    return true;
}

DocumentLayout::Entry *DocumentLayout::entryAt(qreal y)
{
    const qsizetype index = blockAt(y);
    if (index < 0)
        return nullptr;
    builtItem(index);
    return &m_entries[std::size_t(index)];
}

QUrl DocumentLayout::blockLinkAt(const QPointF &point)
{
    const Entry *entry = entryAt(point.y());
    return entry ? entry->item->blockLinkAt(point - QPointF(0, entry->y)) : QUrl();
}

SelectableText *DocumentLayout::textItemAt(const QPointF &point, QPointF *origin)
{
    Entry *entry = entryAt(point.y());
    if (!entry)
        return nullptr;
    SelectableText *text = entry->item->textItemAt(point - QPointF(0, entry->y), origin);
    if (text)
        *origin += QPointF(0, entry->y);
    return text;
}

bool DocumentLayout::scrollHorizontally(const QPointF &point, qreal delta)
{
    Entry *entry = entryAt(point.y());
    return entry && entry->item->scrollHorizontally(point - QPointF(0, entry->y), delta);
}

HorizontalScrollItem *DocumentLayout::scrollBarAt(const QPointF &point, QPointF *origin)
{
    const Entry *entry = entryAt(point.y());
    if (!entry)
        return nullptr;
    const QPointF top(0, entry->y);
    QPointF inner;
    HorizontalScrollItem *scroll =
        innermostAt<HorizontalScrollItem>(*entry->item, point - top, &inner);
    if (!scroll || !scroll->scrollBarRect().contains(point - top - inner))
        return nullptr;
    *origin = top + inner;
    return scroll;
}

} // namespace tolvaran::markdown
