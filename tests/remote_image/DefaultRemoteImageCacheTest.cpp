#include "remote_image/DefaultRemoteImageCache.h"

#include <gtest/gtest.h>

namespace tolvaran::markdown {
namespace {

QUrl imageUrl(int i)
{
    return QUrl(QStringLiteral("https://images.invalid/%1.png").arg(i));
}

QImage imageOfBytes(qint64 bytes)
{
    // Four bytes a pixel, one row.
    QImage image(int(bytes / 4), 1, QImage::Format_ARGB32);
    image.fill(Qt::green);
    return image;
}

int presentAmong(const DefaultRemoteImageCache &cache, int count)
{
    int present = 0;
    for (int i = 0; i < count; ++i)
        present += cache.image(imageUrl(i)) ? 1 : 0;
    return present;
}

TEST(DefaultRemoteImageCache, keepsAtMostItsCountOfImages)
{
    DefaultRemoteImageCache cache(DefaultRemoteImageCache::sharedCountLimit);
    const int stored = DefaultRemoteImageCache::sharedCountLimit + 1;
    for (int i = 0; i < stored; ++i)
        cache.setImage(imageOfBytes(16), imageUrl(i));
    EXPECT_TRUE(cache.image(imageUrl(stored - 1)));
    EXPECT_FALSE(cache.image(imageUrl(0)));
    EXPECT_EQ(presentAmong(cache, stored), DefaultRemoteImageCache::sharedCountLimit);
}

TEST(DefaultRemoteImageCache, keepsAtMostItsBytesOfPixels)
{
    const qint64 byteLimit = 4000;
    DefaultRemoteImageCache cache(10, byteLimit);
    // Each image takes three of the ten 400-byte shares: three fit, a fourth evicts one.
    for (int i = 0; i < 4; ++i)
        cache.setImage(imageOfBytes(1200), imageUrl(i));
    EXPECT_EQ(presentAmong(cache, 4), 3);
    EXPECT_TRUE(cache.image(imageUrl(3)));

    // An image larger than everything the cache may hold is not kept.
    cache.setImage(imageOfBytes(byteLimit + 400), imageUrl(9));
    EXPECT_FALSE(cache.image(imageUrl(9)));
}

} // namespace
} // namespace tolvaran::markdown
