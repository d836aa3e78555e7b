#include "markdown_view/DocumentLayout.h"

#include "markdown_view/BlockViews.h"
#include "markdown_view/ColorSchemeImageFilter.h"

#include <QPainter>

#include <algorithm>

namespace tolvaran::markdown {

namespace {

// Pixels of height per character of text, until laid-out blocks give a better figure.
constexpr qreal initialHeightPerCharacter = 0.25;
// What a block without text (a break, an empty paragraph) counts as.
constexpr qsizetype blockWeight = 40;
// Painted blocks within this distance of the part shown keep their text layouts.
constexpr qreal keptLayoutDistance = 2000;

qsizetype weight(const QList<InlineNode> &nodes)
{
    qsizetype result = 0;
    for (const InlineNode &node : nodes) {
        if (const auto *text = node.as<InlineNode::Text>())
            result += text->text.size();
        else if (const auto *code = node.as<InlineNode::Code>())
            result += code->text.size();
        else
            result += weight(node.children()) + 1;
    }
    return result;
}

qsizetype weight(const BlockNode &block)
{
    qsizetype result = blockWeight;
    if (const auto *paragraph = block.as<BlockNode::Paragraph>())
        result += weight(paragraph->content);
    else if (const auto *heading = block.as<BlockNode::Heading>())
        result += weight(heading->content);
    else if (const auto *code = block.as<BlockNode::CodeBlock>())
        result += code->content.size();
    else if (const auto *html = block.as<BlockNode::HtmlBlock>())
        result += html->content.size();
    else if (const auto *table = block.as<BlockNode::Table>()) {
        for (const RawTableRow &row : table->rows) {
            result += blockWeight;
            for (const RawTableCell &cell : row.cells)
                result += weight(cell.content);
        }
    }
    for (const BlockNode &child : block.children())
        result += weight(child);
    return result;
}

} // namespace

DocumentLayout::DocumentLayout(QList<BlockNode> blocks, StyleContext context)
    : m_context(std::move(context))
{
    m_entries.reserve(std::size_t(blocks.size()));
    for (BlockNode &block : blocks) {
        const qsizetype blockWeightValue = weight(block);
        m_totalWeight += blockWeightValue;
        m_entries.push_back({std::move(block), nullptr, {}, 0, blockWeightValue});
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

void DocumentLayout::layoutNext()
{
    Entry &entry = m_entries[std::size_t(m_laidOut)];
    if (!entry.item) {
        const QList<BlockNode> shown = filterImagesMatching({entry.node}, m_context.colorScheme);
        entry.item = blockView(shown.first())(m_context);
        entry.margin = entry.item->margins();
    }
    const BlockMargin previous =
        m_laidOut > 0 ? m_entries[std::size_t(m_laidOut - 1)].margin : BlockMargin();
    entry.y = m_laidOutBottom + gapAbove(m_laidOut, entry.margin, previous, false);
    m_laidOutBottom = entry.y + entry.item->layout(m_width).height();
    m_laidOutWeight += entry.weight;
    ++m_laidOut;
}

void DocumentLayout::layoutThrough(qreal bottom)
{
    while (!isComplete() && m_laidOutBottom <= bottom)
        layoutNext();
}

void DocumentLayout::layoutMore(qsizetype count)
{
    for (qsizetype done = 0; done < count && !isComplete(); ++done)
        layoutNext();
}

void DocumentLayout::layoutAll()
{
    while (!isComplete())
        layoutNext();
}

qreal DocumentLayout::height() const
{
    if (isComplete())
        return m_laidOutBottom;
    const qreal perCharacter = m_laidOutWeight > 0 ? m_laidOutBottom / qreal(m_laidOutWeight)
                                                   : initialHeightPerCharacter;
    return m_laidOutBottom + perCharacter * qreal(m_totalWeight - m_laidOutWeight);
}

void DocumentLayout::paint(QPainter &painter, const QPalette &palette, const QRectF &exposed)
{
    // Blocks this far beyond the exposed part keep their text layouts, for scrolling back.
    const QRectF kept = exposed.adjusted(0, -keptLayoutDistance, 0, keptLayoutDistance);
    std::vector<qsizetype> painted;
    for (const qsizetype index : m_painted) {
        if (index >= m_laidOut)
            continue;
        const Entry &entry = m_entries[std::size_t(index)];
        const QRectF frame(0, entry.y, m_width, entry.item->size().height());
        if (frame.intersects(kept))
            painted.push_back(index);
        else
            entry.item->releaseCaches();
    }
    for (qsizetype index = 0; index < m_laidOut; ++index) {
        const Entry &entry = m_entries[std::size_t(index)];
        const QRectF frame(0, entry.y, m_width, entry.item->size().height());
        if (frame.top() > exposed.bottom())
            break;
        if (frame.bottom() < exposed.top())
            continue;
        PaintContext context{&painter, palette, exposed.translated(0, -entry.y)};
        entry.item->paint(context, QPointF(0, entry.y));
        if (std::find(painted.begin(), painted.end(), index) == painted.end())
            painted.push_back(index);
    }
    m_painted = std::move(painted);
}

const BlockItem *DocumentLayout::item(qsizetype index) const
{
    return index < m_laidOut ? m_entries[std::size_t(index)].item.get() : nullptr;
}

QRectF DocumentLayout::blockFrame(qsizetype index) const
{
    if (index >= m_laidOut)
        return {};
    const Entry &entry = m_entries[std::size_t(index)];
    return {QPointF(0, entry.y), entry.item->size()};
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
        m_laidOutBottom = previous.y + previous.item->size().height();
    }
    layoutMore(laidOut - first);
    return true;
}

const DocumentLayout::Entry *DocumentLayout::entryAt(qreal y) const
{
    const auto begin = m_entries.begin();
    const auto end = begin + m_laidOut;
    auto next = std::upper_bound(begin, end, y,
                                 [](qreal top, const Entry &entry) { return top < entry.y; });
    return next == begin ? nullptr : &*(next - 1);
}

QUrl DocumentLayout::blockLinkAt(const QPointF &point) const
{
    const Entry *entry = entryAt(point.y());
    return entry ? entry->item->blockLinkAt(point - QPointF(0, entry->y)) : QUrl();
}

SelectableText *DocumentLayout::textItemAt(const QPointF &point, QPointF *origin)
{
    // The blocks are in order of their tops: the last one starting above the point.
    const auto begin = m_entries.begin();
    const auto end = begin + m_laidOut;
    auto next = std::upper_bound(begin, end, point.y(),
                                 [](qreal y, const Entry &entry) { return y < entry.y; });
    if (next == begin)
        return nullptr;
    Entry &entry = *(next - 1);
    SelectableText *text = entry.item->textItemAt(point - QPointF(0, entry.y), origin);
    if (text)
        *origin += QPointF(0, entry.y);
    return text;
}

bool DocumentLayout::scrollHorizontally(const QPointF &point, qreal delta)
{
    const auto begin = m_entries.begin();
    const auto end = begin + m_laidOut;
    auto next = std::upper_bound(begin, end, point.y(),
                                 [](qreal y, const Entry &entry) { return y < entry.y; });
    if (next == begin)
        return false;
    Entry &entry = *(next - 1);
    return entry.item->scrollHorizontally(point - QPointF(0, entry.y), delta);
}

} // namespace tolvaran::markdown
