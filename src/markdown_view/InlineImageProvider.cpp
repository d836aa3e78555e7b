#include "markdown_view/InlineImageProvider.h"

#include "markdown_view/ImageProvider.h"
#include "remote_image/DefaultRemoteImageLoader.h"

namespace tolvaran::markdown {

void DefaultInlineImageProvider::image(const QUrl &url, const QString &label,
                                       const QUrl &imageBaseURL, QObject *context,
                                       Completion completion) const
{
    loader().image(
        url, imageBaseURL, context,
        [label, completion = std::move(completion)](const RemoteImageResult &result) {
            if (!result.succeeded()) {
                completion(std::nullopt);
                return;
            }
            QImage image = result.image();
            image.setText(QStringLiteral("Description"), label);
            completion(image);
        });
}

void DefaultInlineImageProvider::drawing(const QUrl &url) const
{
    loader().drawing(url);
}

void DefaultInlineImageProvider::stoppedDrawing(const QUrl &url) const
{
    loader().stoppedDrawing(url);
}

RemoteImageLoader &DefaultInlineImageProvider::loader() const
{
    return m_loader ? *m_loader : *DefaultRemoteImageLoader::shared();
}

AssetInlineImageProvider::AssetInlineImageProvider(std::function<QString(const QUrl &)> name,
                                                   QString folder)
    : m_name(std::move(name))
    , m_folder(std::move(folder))
{
}

void AssetInlineImageProvider::image(const QUrl &url, const QString &label, const QUrl &,
                                     QObject *, Completion completion) const
{
    std::optional<QImage> image = assetImage(m_name, m_folder, url);
    if (image)
        image->setText(QStringLiteral("Description"), label);
    completion(image);
}

} // namespace tolvaran::markdown
