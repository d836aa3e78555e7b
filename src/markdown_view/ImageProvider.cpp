#include "markdown_view/ImageProvider.h"

#include "markdown_view/items/RemoteImageItem.h"

#include <QDir>
#include <QImageReader>

namespace tolvaran::markdown {

namespace {

// Nothing at all: no size, nothing painted.
View emptyView()
{
    return [](const StyleContext &) {
        return BlockItemPointer(std::make_unique<VStackItem>(std::vector<BlockItemPointer>()));
    };
}

} // namespace

View DefaultImageProvider::makeImage(const std::optional<QUrl> &url) const
{
    if (!url)
        return emptyView();
    return [url = *url](const StyleContext &context) {
        return BlockItemPointer(std::make_unique<RemoteImageItem>(
            url, context.imageBaseURL.value_or(QUrl()), context.remoteImageLoader,
            context.imageChanged, QString(), context.imagePixelBudget));
    };
}

AssetImageProvider::AssetImageProvider(std::function<QString(const QUrl &)> name,
                                       QString folder)
    : m_name(std::move(name))
    , m_folder(std::move(folder))
{
}

View AssetImageProvider::makeImage(const std::optional<QUrl> &url) const
{
    const std::optional<QImage> image = url ? assetImage(m_name, m_folder, *url) : std::nullopt;
    if (!image)
        return emptyView();
    return [image = *image](const StyleContext &) {
        return BlockItemPointer(
            std::make_unique<ResizeToFitItem>(image, QSizeF(image.size()), QString()));
    };
}

std::optional<QImage> assetImage(const std::function<QString(const QUrl &)> &name,
                                 const QString &folder, const QUrl &url)
{
    const QString fileName = name ? name(url) : url.fileName();
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')))
        return std::nullopt;
    QImage image = QImageReader(QDir(folder).filePath(fileName)).read();
    if (image.isNull())
        return std::nullopt;
    return image;
}

} // namespace tolvaran::markdown
