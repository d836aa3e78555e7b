#include "remote_image/DefaultRemoteImageCache.h"

#include <algorithm>

namespace tolvaran::markdown {

DefaultRemoteImageCache::DefaultRemoteImageCache(int countLimit, qint64 byteLimit)
    : m_bytesPerUnit(std::max<qint64>(1, byteLimit / std::max(1, countLimit)))
    , m_images(std::max(1, countLimit))
{
}

DefaultRemoteImageCache &DefaultRemoteImageCache::shared()
{
    static DefaultRemoteImageCache cache(sharedCountLimit);
    return cache;
}

std::optional<DecodedImage> DefaultRemoteImageCache::image(const QUrl &url) const
{
    const std::lock_guard lock(m_mutex);
    if (const DecodedImage *image = m_images.object(url))
        return *image;
    return std::nullopt;
}

void DefaultRemoteImageCache::setImage(const DecodedImage &image, const QUrl &url)
{
    const std::lock_guard lock(m_mutex);
    m_images.insert(url, new DecodedImage(image), cost(image.image));
}

int DefaultRemoteImageCache::cost(const QImage &image) const
{
    const qint64 bytes = std::max<qint64>(1, image.sizeInBytes());
    const qint64 units = (bytes + m_bytesPerUnit - 1) / m_bytesPerUnit;
    // Anything over the whole limit is refused by QCache; clamp so the int cannot wrap.
    return int(std::min<qint64>(units, qint64(m_images.maxCost()) + 1));
}

} // namespace tolvaran::markdown
