#include "markdown_view/ImageProvider.h"

#include "markdown_view/RemoteImageItem.h"

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
            context.imageChanged, QString()));
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
    if (!url)
        return emptyView();
    const QString name = m_name ? m_name(*url) : url->fileName();
    if (name.isEmpty() || name.contains(QLatin1Char('/')))
        return emptyView();
    QImageReader reader(QDir(m_folder).filePath(name));
    const QImage image = reader.read();
    if (image.isNull())
        return emptyView();
    return [image](const StyleContext &) {
        return BlockItemPointer(
            std::make_unique<ResizeToFitItem>(image, QSizeF(image.size()), QString()));
    };
}

} // namespace tolvaran::markdown
