#include "helpers/CountingLoader.h"

#include "remote_image/DefaultRemoteImageCache.h"
#include "remote_image/DefaultRemoteImageLoader.h"

#include <QPointer>

#include <optional>

namespace tolvaran::fixtures::bench {

CountingLoader::CountingLoader()
    : m_loader(*markdown::DefaultRemoteImageLoader::shared())
    , m_cache(markdown::DefaultRemoteImageCache::shared())
{
    m_sinceLastRequest.start();
}

void CountingLoader::image(const QUrl &url, const QUrl &imageBaseURL, QObject *context,
                           Completion completion)
{
    imageAtSize(url, imageBaseURL, QSize(), context, std::move(completion));
}

void CountingLoader::imageAtSize(const QUrl &url, const QUrl &imageBaseURL, QSize maximumSize,
                                 QObject *context, Completion completion)
{
    // As the loader tells them apart: pixels cached at the size asked serve as they are,
    // larger ones are shrunk, and anything else is decoded.
    const std::optional<markdown::DecodedImage> cached = m_cache.image(url);
    const QSize wanted =
        cached ? markdown::fittedPictureSize(cached->pictureSize, maximumSize) : QSize();
    if (!cached || cached->image.width() < wanted.width()
        || cached->image.height() < wanted.height())
        ++m_decodes[url];
    else if (cached->image.size() != wanted)
        ++m_shrinks;
    ++m_inFlight;
    ++m_inFlightOf[url];
    m_firstAskedSize.insert(url, m_firstAskedSize.value(url, maximumSize));
    m_sinceLastRequest.restart();
    // The count must hear of every outcome, also one whose caller has gone.
    m_loader.imageAtSize(url, imageBaseURL, maximumSize, nullptr,
                         [this, url, caller = QPointer<QObject>(context), hasCaller = !!context,
                          completion](const markdown::RemoteImageResult &result) {
                             --m_inFlight;
                             --m_inFlightOf[url];
                             if (!hasCaller || caller)
                                 completion(result);
                         });
}

} // namespace tolvaran::fixtures::bench
