#pragma once

#include "remote_image/RemoteImageCache.h"

#include <QCache>

#include <mutex>

namespace tolvaran::markdown {

// A bounded in-memory cache of decoded images: at most `countLimit` images and at most
// `byteLimit` bytes of pixels together; the least recently used go first.
class DefaultRemoteImageCache final : public RemoteImageCache
{
public:
    static constexpr int sharedCountLimit = 100;
    static constexpr qint64 sharedByteLimit = qint64(128) * 1024 * 1024;

    explicit DefaultRemoteImageCache(int countLimit, qint64 byteLimit = sharedByteLimit);

    // The process-wide cache of the shared loader, made on first use.
    static DefaultRemoteImageCache &shared();

    std::optional<DecodedImage> image(const QUrl &url) const override;
    // An image larger than the whole byte limit is not kept.
    void setImage(const DecodedImage &image, const QUrl &url) override;

private:
    // QCache bounds one measure, so both limits are folded into it: an image costs one unit
    // per started share (byteLimit / countLimit) of pixel bytes, at least one, and the cache
    // holds countLimit units. That keeps at most countLimit images and at most byteLimit bytes.
    int cost(const QImage &image) const;

    const qint64 m_bytesPerUnit;
    mutable std::mutex m_mutex;
    mutable QCache<QUrl, DecodedImage> m_images;
};

} // namespace tolvaran::markdown
