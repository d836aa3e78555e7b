#include "markdown_view/InlineImageProvider.h"

#include "markdown_view/ImageProvider.h"
#include "remote_image/DefaultRemoteImageLoader.h"

namespace tolvaran::markdown {

void InlineImageProvider::imageAtSize(const QUrl &url, const QString &label,
                                      const QUrl &imageBaseURL, QSize, QObject *context,
                                      SizedCompletion completion) const
{
    image(url, label, imageBaseURL, context,
          [completion = std::move(completion)](const std::optional<QImage> &image) {
              if (!image) {
                  completion(RemoteImageError());
                  return;
              }
              completion(DecodedImage(*image, image->deviceIndependentSize().toSize()));
          });
}

// The label is not written into the image (QImage::setText): that would copy the pixels the
// loader's cache shares.
void DefaultInlineImageProvider::image(const QUrl &url, const QString &, const QUrl &imageBaseURL,
                                       QObject *context, Completion completion) const
{
    loader().image(url, imageBaseURL, context,
                   [completion = std::move(completion)](const RemoteImageResult &result) {
                       completion(result.succeeded() ? std::optional<QImage>(result.image())
                                                     : std::nullopt);
                   });
}

void DefaultInlineImageProvider::imageAtSize(const QUrl &url, const QString &,
                                             const QUrl &imageBaseURL, QSize maximumSize,
                                             QObject *context, SizedCompletion completion) const
{
    loader().imageAtSize(url, imageBaseURL, maximumSize, context, std::move(completion));
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

void AssetInlineImageProvider::image(const QUrl &url, const QString &, const QUrl &,
                                     QObject *, Completion completion) const
{
    completion(assetImage(m_name, m_folder, url));
}

} // namespace tolvaran::markdown
