#include "markdown_view/items/ImageFlow.h"

#include "markdown_view/FlowLayout.h"
#include "markdown_view/items/ImageView.h"
#include "markdown_view/theme/Theme.h"

namespace tolvaran::markdown {

namespace {

// The space between images, in rem.
constexpr qreal imageSpacingRem = 0.25;

} // namespace

std::optional<QList<std::optional<RawImageData>>>
imageFlowItems(const QList<InlineNode> &content)
{
    QList<std::optional<RawImageData>> items; // none stands for a line break
    for (const InlineNode &node : content) {
        if (const auto *text = node.as<InlineNode::Text>()) {
            // Blanks between images count as nothing: a README's badges are written one
            // after another with spaces or line breaks between them, and as inline text
            // (which has no room for images) the whole row would show as nothing.
            if (!text->text.trimmed().isEmpty())
                return std::nullopt;
        } else if (node.as<InlineNode::SoftBreak>()) {
            continue;
        } else if (node.as<InlineNode::LineBreak>()) {
            items.emplaceBack(); // GCC 12 at -O3 warns falsely about appending std::nullopt
        } else if (const auto *image = node.as<InlineNode::Image>()) {
            items.append(RawImageData{image->source, renderPlainText(image->children),
                                      std::nullopt});
        } else if (node.as<InlineNode::Link>()) {
            // imageData() is there only for a link around exactly one image.
            const std::optional<RawImageData> data = node.imageData();
            if (!data)
                return std::nullopt;
            items.append(data);
        } else {
            return std::nullopt;
        }
    }
    // Content without images (an empty table cell) stays text.
    if (std::none_of(items.begin(), items.end(), [](const auto &item) { return item; }))
        return std::nullopt;
    return items;
}

std::optional<View> imageFlow(const QList<InlineNode> &content)
{
    const std::optional<QList<std::optional<RawImageData>>> shown = imageFlowItems(content);
    if (!shown)
        return std::nullopt;
    const View row = [items = *shown](const StyleContext &context) {
        const qreal spacing =
            RelativeSize::rem(imageSpacingRem).points(context.attributes().fontProperties);
        std::vector<BlockItemPointer> children;
        for (const std::optional<RawImageData> &item : items)
            children.push_back(item ? imageLabel(*item)(context) : FlowLayoutItem::lineBreak());
        return BlockItemPointer(
            std::make_unique<FlowLayoutItem>(std::move(children), spacing, spacing));
    };
    // The row as a whole takes the theme's image style: a style that centres images in the
    // width (or frames them) would otherwise give every badge a row of its own.
    return View([row, content](const StyleContext &context) {
        const BlockConfiguration configuration{
            row, MarkdownContent(QList<BlockNode>{BlockNode::Paragraph{content}})};
        return context.currentTheme().image(configuration)(context);
    });
}

} // namespace tolvaran::markdown
