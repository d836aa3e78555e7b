#include "markdown_view/View.h"

namespace tolvaran::markdown::views {

namespace {

std::optional<qreal> resolve(const std::optional<RelativeSize> &size, const StyleContext &context)
{
    if (!size)
        return std::nullopt;
    return size->points(context.attributes().fontProperties);
}

QMarginsF edgeMargins(Edges edges, qreal length)
{
    const auto has = [&](Edge edge) { return (edges & int(edge)) ? length : 0; };
    return {has(Edge::leading), has(Edge::top), has(Edge::trailing), has(Edge::bottom)};
}

std::vector<BlockItemPointer> build(const QList<View> &children, const StyleContext &context)
{
    std::vector<BlockItemPointer> items;
    items.reserve(std::size_t(children.size()));
    for (const View &child : children)
        items.push_back(child(context));
    return items;
}

} // namespace

View textStyle(View label, const TextStyle &style)
{
    return [label = std::move(label), style](const StyleContext &context) {
        return label(context.withTextStyle(style));
    };
}

View margin(View label, std::optional<RelativeSize> top, std::optional<RelativeSize> bottom)
{
    return [label = std::move(label), top, bottom](const StyleContext &context) {
        return BlockItemPointer(std::make_unique<MarginItem>(
            label(context), BlockMargin{resolve(top, context), resolve(bottom, context)}));
    };
}

View marginPoints(View label, std::optional<qreal> top, std::optional<qreal> bottom)
{
    return [label = std::move(label), top, bottom](const StyleContext &context) {
        return BlockItemPointer(
            std::make_unique<MarginItem>(label(context), BlockMargin{top, bottom}));
    };
}

View padding(View label, Edges edges, RelativeSize length)
{
    return [label = std::move(label), edges, length](const StyleContext &context) {
        const qreal points = length.points(context.attributes().fontProperties);
        return BlockItemPointer(
            std::make_unique<PaddingItem>(label(context), edgeMargins(edges, points)));
    };
}

View paddingPoints(View label, Edges edges, qreal length)
{
    return [label = std::move(label), edges, length](const StyleContext &context) {
        return BlockItemPointer(
            std::make_unique<PaddingItem>(label(context), edgeMargins(edges, length)));
    };
}

View lineSpacing(View label, RelativeSize spacing)
{
    return [label = std::move(label), spacing](const StyleContext &context) {
        StyleContext inner = context;
        inner.lineSpacing = spacing.points(context.attributes().fontProperties);
        return label(inner);
    };
}

View minimumWidth(View label, RelativeSize width, Qt::Alignment alignment)
{
    return [label = std::move(label), width, alignment](const StyleContext &context) {
        FrameItem::Frame frame;
        frame.minimumWidth = width.points(context.attributes().fontProperties);
        frame.alignment = alignment;
        return BlockItemPointer(std::make_unique<FrameItem>(label(context), frame));
    };
}

View frame(View label, std::optional<RelativeSize> width, std::optional<RelativeSize> height,
           Qt::Alignment alignment)
{
    return [label = std::move(label), width, height, alignment](const StyleContext &context) {
        FrameItem::Frame frame;
        frame.width = resolve(width, context);
        frame.height = resolve(height, context);
        frame.alignment = alignment;
        return BlockItemPointer(std::make_unique<FrameItem>(label(context), frame));
    };
}

View fillWidth(View label, Qt::Alignment alignment)
{
    return [label = std::move(label), alignment](const StyleContext &context) {
        FrameItem::Frame frame;
        frame.fillWidth = true;
        frame.alignment = alignment;
        return BlockItemPointer(std::make_unique<FrameItem>(label(context), frame));
    };
}

View background(View label, const Color &color, qreal radius)
{
    return [label = std::move(label), color, radius](const StyleContext &context) {
        return BlockItemPointer(std::make_unique<BackgroundItem>(
            label(context), color.resolved(context.colorScheme), radius));
    };
}

View vstack(QList<View> children)
{
    return [children = std::move(children)](const StyleContext &context) {
        return BlockItemPointer(std::make_unique<VStackItem>(build(children, context)));
    };
}

View hstack(QList<View> children)
{
    return [children = std::move(children)](const StyleContext &context) {
        return BlockItemPointer(std::make_unique<HStackItem>(build(children, context)));
    };
}

View divider(std::optional<Color> color, qreal thickness)
{
    return [color, thickness](const StyleContext &context) {
        std::optional<QColor> resolved;
        if (color)
            resolved = color->resolved(context.colorScheme);
        return BlockItemPointer(std::make_unique<DividerItem>(resolved, thickness));
    };
}

View horizontalScroll(View content)
{
    return [content = std::move(content)](const StyleContext &context) {
        return BlockItemPointer(std::make_unique<HorizontalScrollItem>(content(context)));
    };
}

View leadingBar(View label, const Color &color, RelativeSize width, qreal radius)
{
    return [label = std::move(label), color, width, radius](const StyleContext &context) {
        const qreal barWidth = width.points(context.attributes().fontProperties);
        return BlockItemPointer(std::make_unique<LeadingBarItem>(
            label(context), color.resolved(context.colorScheme), barWidth, radius));
    };
}

View roundedBox(View label, const Color &fill, const Color &stroke, qreal radius)
{
    return [label = std::move(label), fill, stroke, radius](const StyleContext &context) {
        return BlockItemPointer(std::make_unique<BackgroundItem>(
            label(context), fill.resolved(context.colorScheme), radius,
            stroke.resolved(context.colorScheme)));
    };
}

View tableBorderStyle(View label, const TableBorderStyle &style)
{
    auto shared = std::make_shared<const TableBorderStyle>(style);
    return [label = std::move(label), shared](const StyleContext &context) {
        StyleContext inner = context;
        inner.tableBorderStyle = shared;
        return label(inner);
    };
}

View tableBackgroundStyle(View label, const TableBackgroundStyle &style)
{
    auto shared = std::make_shared<const TableBackgroundStyle>(style);
    return [label = std::move(label), shared](const StyleContext &context) {
        StyleContext inner = context;
        inner.tableBackgroundStyle = shared;
        return label(inner);
    };
}

} // namespace tolvaran::markdown::views
