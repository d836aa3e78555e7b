#include "markdown_view/items/ImageView.h"

#include "markdown_view/ImageProvider.h"
#include "markdown_view/items/InlineText.h"
#include "markdown_view/theme/Theme.h"

#include <QFileInfo>

namespace tolvaran::markdown {

std::optional<QUrl> resolvedImageSource(const QString &source,
                                        const std::optional<QUrl> &imageBaseURL)
{
    // A folder named without its final slash is still the folder the sources are relative
    // to (as a file URL made from a folder's path is), not a file whose siblings they are.
    if (imageBaseURL && imageBaseURL->isLocalFile() && !imageBaseURL->path().endsWith(u'/')
        && QFileInfo(imageBaseURL->toLocalFile()).isDir()) {
        QUrl folder = *imageBaseURL;
        folder.setPath(folder.path() + u'/');
        return resolvedLink(source, folder);
    }
    // The same rules as for link destinations, with the image base in place of the base.
    return resolvedLink(source, imageBaseURL);
}

View imageLabel(const RawImageData &data)
{
    return [data](const StyleContext &labelContext) {
            static const DefaultImageProvider defaultProvider;
            const ImageProvider &provider =
                labelContext.imageProvider ? *labelContext.imageProvider : defaultProvider;
            const std::optional<QUrl> url =
                resolvedImageSource(data.source, labelContext.imageBaseURL);
            QUrl link;
            if (data.destination) {
                if (std::optional<QUrl> target =
                        resolvedLink(*data.destination, labelContext.baseURL))
                    link = *target;
            }
            return BlockItemPointer(std::make_unique<LabelledItem>(
                provider.makeImage(url)(labelContext), data.alt, link));
    };
}

View imageView(const RawImageData &data)
{
    return [data](const StyleContext &context) {
        const View label = imageLabel(data);
        QList<InlineNode> restated{InlineNode::Image{data.source, {InlineNode::Text{data.alt}}}};
        if (data.destination)
            restated = {InlineNode::Link{*data.destination, restated}};
        const BlockConfiguration configuration{
            label, MarkdownContent(QList<BlockNode>{BlockNode::Paragraph{restated}})};
        return context.currentTheme().image(configuration)(context);
    };
}

std::optional<View> imageView(const QList<InlineNode> &content)
{
    if (content.size() != 1)
        return std::nullopt;
    const std::optional<RawImageData> data = content[0].imageData();
    if (!data)
        return std::nullopt;
    return imageView(*data);
}

} // namespace tolvaran::markdown
