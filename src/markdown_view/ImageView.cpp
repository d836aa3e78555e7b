#include "markdown_view/ImageView.h"

#include "markdown_view/InlineText.h"
#include "markdown_view/Theme.h"

namespace tolvaran::markdown {

std::optional<View> imageView(const QList<InlineNode> &content)
{
    if (content.size() != 1)
        return std::nullopt;
    const std::optional<RawImageData> data = content[0].imageData();
    if (!data)
        return std::nullopt;
    return View([data = *data](const StyleContext &context) {
        // The alternative text, linked where the image is.
        QList<InlineNode> alt{InlineNode::Text{data.alt}};
        if (data.destination)
            alt = {InlineNode::Link{*data.destination, alt}};
        const View label = [alt, name = data.alt](const StyleContext &labelContext) {
            TextItem::Options options;
            options.font =
                characterFormat(labelContext.attributes(), labelContext.colorScheme).font();
            options.lineSpacing = labelContext.lineSpacing;
            options.selectable = labelContext.textSelectionEnabled;
            options.accessibleName = name;
            return BlockItemPointer(
                std::make_unique<TextItem>(renderInlines(alt, labelContext), options));
        };
        QList<InlineNode> restated{InlineNode::Image{data.source, {InlineNode::Text{data.alt}}}};
        if (data.destination)
            restated = {InlineNode::Link{*data.destination, restated}};
        const BlockConfiguration configuration{
            label, MarkdownContent(QList<BlockNode>{BlockNode::Paragraph{restated}})};
        return context.currentTheme().image(configuration)(context);
    });
}

} // namespace tolvaran::markdown
