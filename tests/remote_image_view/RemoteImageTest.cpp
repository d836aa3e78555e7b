#include "remote_image_view/RemoteImage.h"

#include "remote_image/RemoteImageModel.h"
#include "support/ManualRemoteImageLoader.h"

#include <QImage>

#include <gtest/gtest.h>

namespace tolvaran::markdown {
namespace {

const QUrl imageUrl(QStringLiteral("https://images.invalid/a.png"));

QImage filled(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::red);
    return image;
}

struct ViewWorld
{
    explicit ViewWorld(const QUrl &url = imageUrl, qreal scale = 1)
        : view(url, scale, RemoteImage::EmptyContent::nothing)
    {
        view.setImageLoader(&loader);
    }

    fixtures::ManualRemoteImageLoader loader;
    RemoteImage view;
};

TEST(RemoteImage, loadsOnceShownAndTakesNoRoomUntilLoaded)
{
    ViewWorld world;
    EXPECT_TRUE(world.loader.calls.isEmpty());
    world.view.show();
    ASSERT_EQ(world.loader.calls.size(), 1);
    EXPECT_EQ(world.loader.calls.first().url, imageUrl);
    EXPECT_EQ(world.view.sizeHint(), QSize(0, 0));

    // Shown again with the same source: nothing new.
    world.view.hide();
    world.view.show();
    EXPECT_EQ(world.loader.calls.size(), 1);
}

TEST(RemoteImage, withoutUrlNeverLoads)
{
    ViewWorld world{QUrl()};
    world.view.show();
    EXPECT_TRUE(world.loader.calls.isEmpty());
    EXPECT_EQ(world.view.model().image(), RemoteImageState::empty());
}

TEST(RemoteImage, showsTheImageAtItsSizeInPointsAndShrinksToFit)
{
    ViewWorld world{imageUrl, 2};
    world.view.show();
    world.loader.complete(0, filled({200, 100}));
    EXPECT_EQ(world.view.sizeHint(), QSize(100, 50));
    EXPECT_TRUE(world.view.hasHeightForWidth());
    EXPECT_EQ(world.view.heightForWidth(400), 50);
    EXPECT_EQ(world.view.heightForWidth(50), 25);
}

TEST(RemoteImage, failedImageTakesNoRoom)
{
    ViewWorld world;
    world.view.show();
    world.loader.complete(0, RemoteImageError{RemoteImageErrorKind::transferFailed, {}});
    EXPECT_EQ(world.view.model().image(), RemoteImageState::failure());
    EXPECT_EQ(world.view.sizeHint(), QSize(0, 0));
}

TEST(RemoteImage, newSourceLoadsWhileShown)
{
    ViewWorld world;
    world.view.show();
    const QUrl other(QStringLiteral("https://images.invalid/b.png"));
    world.view.setSource(other, 1);
    ASSERT_EQ(world.loader.calls.size(), 2);
    EXPECT_EQ(world.loader.calls.last().url, other);
}

} // namespace
} // namespace tolvaran::markdown
