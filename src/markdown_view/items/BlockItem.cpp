#include "markdown_view/items/BlockItem.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <utility>

namespace tolvaran::markdown {

BlockItem::~BlockItem() = default;

QSizeF BlockItem::layout(qreal width)
{
    if (width != m_laidOutWidth) {
        m_size = doLayout(width);
        m_laidOutWidth = width;
    }
    return m_size;
}

void BlockItem::paint(const PaintContext &context, const QPointF &origin) const
{
    paintChildren(context, origin);
}

void BlockItem::paintChildren(const PaintContext &context, const QPointF &origin) const
{
    for (const Child &child : m_children) {
        const QRectF frame(child.position, child.item->size());
        if (!frame.intersects(context.exposed) && !frame.isEmpty())
            continue;
        PaintContext inner = context;
        inner.exposed = context.exposed.translated(-child.position);
        child.item->paint(inner, origin + child.position);
    }
}

BlockMargin BlockItem::margins() const
{
    BlockMargin result;
    for (const Child &child : m_children)
        result = result.combined(child.item->margins());
    return result;
}

qreal BlockItem::minimumWidth() const
{
    qreal widest = 0;
    for (const Child &child : m_children)
        widest = std::max(widest, child.item->minimumWidth());
    return widest;
}

qreal BlockItem::firstLineRoom() const
{
    return m_children.empty() ? 0 : m_children.front().item->firstLineRoom();
}

SelectableText *BlockItem::textItemAt(const QPointF &point, QPointF *origin)
{
    for (Child &child : m_children) {
        if (!QRectF(child.position, child.item->size()).contains(point))
            continue;
        if (SelectableText *text = child.item->textItemAt(point - child.position, origin)) {
            *origin += child.position;
            return text;
        }
    }
    return nullptr;
}

void BlockItem::releaseCaches()
{
    for (Child &child : m_children)
        child.item->releaseCaches();
}

bool BlockItem::holdsState() const
{
    return std::any_of(m_children.begin(), m_children.end(),
                       [](const Child &child) { return child.item->holdsState(); });
}

bool BlockItem::scrollHorizontally(const QPointF &point, qreal delta)
{
    for (Child &child : m_children) {
        if (QRectF(child.position, child.item->size()).contains(point))
            return child.item->scrollHorizontally(point - child.position, delta);
    }
    return false;
}

QUrl BlockItem::blockLinkAt(const QPointF &point) const
{
    for (const Child &child : m_children) {
        if (QRectF(child.position, child.item->size()).contains(point))
            return child.item->blockLinkAt(point - child.position);
    }
    return {};
}

bool BlockItem::takeLayoutRequest()
{
    bool requested = std::exchange(m_needsLayout, false);
    for (Child &child : m_children)
        requested = child.item->takeLayoutRequest() || requested;
    if (requested)
        m_laidOutWidth = -1;
    return requested;
}

LabelledItem::LabelledItem(BlockItemPointer child, const QString &accessibleName,
                           const QUrl &url)
    : m_accessibleName(accessibleName)
    , m_url(url)
{
    addChild(std::move(child));
}

QSizeF LabelledItem::doLayout(qreal width)
{
    return m_children[0].item->layout(width);
}

QUrl LabelledItem::blockLinkAt(const QPointF &point) const
{
    if (m_url.isEmpty() || !QRectF(QPointF(), size()).contains(point))
        return BlockItem::blockLinkAt(point);
    return m_url;
}

void BlockItem::addChild(BlockItemPointer child)
{
    m_children.push_back({std::move(child), QPointF()});
}

void BlockItem::addChildren(std::vector<BlockItemPointer> children)
{
    for (BlockItemPointer &child : children)
        addChild(std::move(child));
}

VStackItem::VStackItem(std::vector<BlockItemPointer> children)
{
    addChildren(std::move(children));
}

QSizeF VStackItem::doLayout(qreal width)
{
    qreal y = 0;
    qreal used = 0;
    for (Child &child : m_children) {
        const QSizeF size = child.item->layout(width);
        child.position = QPointF(0, y);
        y += size.height();
        used = std::max(used, size.width());
    }
    return {used, y};
}

HStackItem::HStackItem(std::vector<BlockItemPointer> children)
{
    addChildren(std::move(children));
}

QSizeF HStackItem::doLayout(qreal width)
{
    qreal x = 0;
    qreal height = 0;
    for (std::size_t index = 0; index < m_children.size(); ++index) {
        Child &child = m_children[index];
        const bool last = index + 1 == m_children.size();
        const QSizeF size = child.item->layout(last ? std::max<qreal>(0, width - x) : width);
        child.position = QPointF(x, 0);
        x += size.width();
        height = std::max(height, size.height());
    }
    return {x, height};
}

qreal HStackItem::minimumWidth() const
{
    qreal total = 0;
    for (const Child &child : m_children)
        total += child.item->minimumWidth();
    return total;
}

SequenceItem::SequenceItem(std::vector<BlockItemPointer> children, bool tight)
    : m_tight(tight)
{
    addChildren(std::move(children));
}

QSizeF SequenceItem::doLayout(qreal width)
{
    qreal y = 0;
    qreal used = 0;
    BlockMargin previous;
    for (std::size_t index = 0; index < m_children.size(); ++index) {
        Child &child = m_children[index];
        const BlockMargin margin = child.item->margins();
        y += gapAbove(qsizetype(index), margin, previous, m_tight);
        const QSizeF size = child.item->layout(width);
        child.position = QPointF(0, y);
        y += size.height();
        used = std::max(used, size.width());
        previous = margin;
    }
    return {used, y};
}

PaddingItem::PaddingItem(BlockItemPointer child, const QMarginsF &padding)
    : m_padding(padding)
{
    addChild(std::move(child));
}

QSizeF PaddingItem::doLayout(qreal width)
{
    const qreal horizontal = m_padding.left() + m_padding.right();
    const QSizeF size = m_children[0].item->layout(std::max<qreal>(0, width - horizontal));
    m_children[0].position = QPointF(m_padding.left(), m_padding.top());
    return {size.width() + horizontal, size.height() + m_padding.top() + m_padding.bottom()};
}

qreal PaddingItem::minimumWidth() const
{
    return m_children[0].item->minimumWidth() + m_padding.left() + m_padding.right();
}

MarginItem::MarginItem(BlockItemPointer child, const BlockMargin &margin)
    : m_margin(margin)
{
    addChild(std::move(child));
}

BlockMargin MarginItem::margins() const
{
    return m_children[0].item->margins().combined(m_margin);
}

QSizeF MarginItem::doLayout(qreal width)
{
    return m_children[0].item->layout(width);
}

BackgroundItem::BackgroundItem(BlockItemPointer child, const QColor &color, qreal radius,
                               const std::optional<QColor> &outline)
    : m_color(color)
    , m_radius(radius)
    , m_outline(outline)
{
    addChild(std::move(child));
}

QSizeF BackgroundItem::doLayout(qreal width)
{
    return m_children[0].item->layout(width);
}

void BackgroundItem::paint(const PaintContext &context, const QPointF &origin) const
{
    QPainter &painter = *context.painter;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, m_radius > 0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    const QRectF box(origin, size());
    painter.drawRoundedRect(box, m_radius, m_radius);
    if (m_radius > 0) {
        QPainterPath shape;
        shape.addRoundedRect(box, m_radius, m_radius);
        painter.setClipPath(shape, Qt::IntersectClip);
    }
    paintChildren(context, origin);
    painter.restore();
    if (m_outline) {
        // Stroked inside the bounds.
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(*m_outline, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
        painter.restore();
    }
}

LeadingBarItem::LeadingBarItem(BlockItemPointer child, const QColor &color, qreal width,
                               qreal radius)
    : m_color(color)
    , m_width(width)
    , m_radius(radius)
{
    addChild(std::move(child));
}

QSizeF LeadingBarItem::doLayout(qreal width)
{
    const QSizeF child = m_children[0].item->layout(std::max<qreal>(0, width - m_width));
    m_children[0].position = QPointF(m_width, 0);
    return {child.width() + m_width, child.height()};
}

qreal LeadingBarItem::minimumWidth() const
{
    return m_children[0].item->minimumWidth() + m_width;
}

void LeadingBarItem::paint(const PaintContext &context, const QPointF &origin) const
{
    QPainter &painter = *context.painter;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    const qreal radius = std::min(m_radius, m_width / 2);
    painter.drawRoundedRect(QRectF(origin, QSizeF(m_width, size().height())), radius, radius);
    painter.restore();
    paintChildren(context, origin);
}

FrameItem::FrameItem(BlockItemPointer child, const Frame &frame)
    : m_frame(frame)
{
    addChild(std::move(child));
}

QSizeF FrameItem::doLayout(qreal width)
{
    const qreal offered = m_frame.width.value_or(width);
    const QSizeF child = m_children[0].item->layout(offered);
    const bool fills = m_frame.fillWidth && !isUnbounded(width);
    qreal own = m_frame.width.value_or(fills ? width : child.width());
    if (m_frame.minimumWidth)
        own = std::max(own, *m_frame.minimumWidth);
    const qreal height = m_frame.height.value_or(child.height());
    qreal x = 0;
    if (m_frame.alignment & Qt::AlignRight)
        x = own - child.width();
    else if (m_frame.alignment & Qt::AlignHCenter)
        x = (own - child.width()) / 2;
    m_children[0].position = QPointF(x, (height - child.height()) / 2);
    return {own, height};
}

qreal FrameItem::minimumWidth() const
{
    if (m_frame.width)
        return *m_frame.width;
    return std::max(m_children[0].item->minimumWidth(), m_frame.minimumWidth.value_or(0));
}

DividerItem::DividerItem(const std::optional<QColor> &color, qreal thickness)
    : m_color(color)
    , m_thickness(thickness)
{
}

QSizeF DividerItem::doLayout(qreal width)
{
    return {width, m_thickness};
}

void DividerItem::paint(const PaintContext &context, const QPointF &origin) const
{
    QColor color = m_color.value_or(context.palette.color(QPalette::WindowText));
    if (!m_color)
        color.setAlphaF(0.15f); // a separator: the text colour, faint
    context.painter->fillRect(QRectF(origin, size()), color);
}

HorizontalScrollItem::HorizontalScrollItem(BlockItemPointer child, ContentWidth contentWidth)
    : m_contentWidth(contentWidth)
{
    addChild(std::move(child));
}

QSizeF HorizontalScrollItem::doLayout(qreal width)
{
    const bool unbounded = m_contentWidth == ContentWidth::unbounded;
    const QSizeF child = m_children[0].item->layout(unbounded ? unboundedWidth : width);
    const bool overflows = child.width() > width;
    m_offset = std::clamp<qreal>(m_offset, 0, std::max<qreal>(0, child.width() - width));
    m_children[0].position = QPointF(-m_offset, 0);
    return {unbounded ? width : std::min(width, child.width()),
            child.height() + (overflows ? scrollBarHeight : 0)};
}

QRectF HorizontalScrollItem::scrollBarRect() const
{
    if (contentWidth() <= size().width())
        return {};
    const qreal top = m_children[0].item->size().height() + scrollBarMargin;
    return {scrollBarMargin, top, size().width() - 2 * scrollBarMargin,
            scrollBarHeight - 2 * scrollBarMargin};
}

QRectF HorizontalScrollItem::thumbRect() const
{
    const QRectF track = scrollBarRect();
    if (track.isEmpty())
        return {};
    const qreal thumbWidth = std::min(
        track.width(),
        std::max(minimumThumbWidth, track.width() * size().width() / contentWidth()));
    const qreal travel = track.width() - thumbWidth;
    return {track.left() + travel * m_offset / scrollLimit(), track.top(), thumbWidth,
            track.height()};
}

qreal HorizontalScrollItem::offsetForThumbAt(qreal x) const
{
    const QRectF track = scrollBarRect();
    const qreal travel = track.width() - thumbRect().width();
    if (travel <= 0)
        return m_offset;
    return (x - track.left()) / travel * scrollLimit();
}

bool HorizontalScrollItem::scrollTo(qreal offset)
{
    const qreal next = std::clamp<qreal>(offset, 0, scrollLimit());
    if (next == m_offset)
        return false;
    m_offset = next;
    m_children[0].position = QPointF(-m_offset, 0);
    return true;
}

void HorizontalScrollItem::paint(const PaintContext &context, const QPointF &origin) const
{
    QPainter &painter = *context.painter;
    painter.save();
    painter.setClipRect(QRectF(origin, size()), Qt::IntersectClip);
    PaintContext inner = context;
    inner.exposed = context.exposed.intersected(QRectF(QPointF(), size()));
    paintChildren(inner, origin);
    painter.restore();
    const QRectF track = scrollBarRect();
    if (track.isEmpty())
        return;
    // In the text colour, faint for the track and stronger for the thumb, so that the bar
    // shows on any background the theme gives the block.
    QColor trackColour = context.palette.color(QPalette::WindowText);
    QColor thumbColour = trackColour;
    trackColour.setAlphaF(0.1f);
    thumbColour.setAlphaF(0.45f);
    const qreal radius = track.height() / 2;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(trackColour);
    painter.drawRoundedRect(track.translated(origin), radius, radius);
    painter.setBrush(thumbColour);
    painter.drawRoundedRect(thumbRect().translated(origin), radius, radius);
    painter.restore();
}

bool HorizontalScrollItem::scrollHorizontally(const QPointF &point, qreal delta)
{
    if (m_children[0].item->scrollHorizontally(point - m_children[0].position, delta))
        return true;
    return scrollTo(m_offset + delta);
}

SelectableText *SelectableText::textItemAt(const QPointF &, QPointF *origin)
{
    *origin = QPointF();
    return this;
}

std::pair<int, int> SelectableText::orderedSelection() const
{
    if (!m_selection)
        return {0, 0};
    return {std::min(m_selection->first, m_selection->second),
            std::max(m_selection->first, m_selection->second)};
}

std::pair<int, int> SelectableText::paintedSelection(const PaintContext &context) const
{
    if (context.selectsAll && isSelectable())
        return {0, int(text().size())};
    return orderedSelection();
}

QString SelectableText::selectedText() const
{
    const auto [start, end] = orderedSelection();
    return text().mid(start, end - start);
}

} // namespace tolvaran::markdown
