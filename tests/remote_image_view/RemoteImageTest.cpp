#include "remote_image_view/RemoteImage.h"

#include "remote_image/RemoteImageModel.h"
#include "support/markdown/ManualRemoteImageLoader.h"

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

TEST(RemoteImage, drawsTheImageShrunkToItsWidthOrAPlaceholder)
{
    fixtures::ManualRemoteImageLoader loader;
    RemoteImage view(imageUrl, 1, RemoteImage::EmptyContent::placeholder);
    view.setImageLoader(&loader);
    view.resize(50, 40);
    view.show();
    const QColor placeholder = view.palette().color(QPalette::Midlight);
    EXPECT_EQ(view.grab().toImage().pixel(10, 30), placeholder.rgb());

    loader.complete(0, filled({100, 50}));
    const QImage drawn = view.grab().toImage();
    // 100 × 50 in 50 points of width: 50 × 25, from the top left.
    const QRgb red = QColor(Qt::red).rgb();
    EXPECT_EQ(drawn.pixel(1, 1), red);
    EXPECT_EQ(drawn.pixel(48, 23), red);
    EXPECT_NE(drawn.pixel(10, 30), red);
}

} // namespace
} // namespace tolvaran::markdown

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

#include "remote_image_view/PhasedRemoteImage.h"

#include <QLabel>

namespace tolvaran::markdown {
namespace {

TEST(PhasedRemoteImage, showsPlaceholderThenContentOrFallback)
{
    for (const bool succeeds : {true, false}) {
        fixtures::ManualRemoteImageLoader loader;
        const auto label = [](const QString &text) { return new QLabel(text); };
        PhasedRemoteImage view(
            imageUrl, 1,
            [&](const QImage &image) {
                return label(QStringLiteral("content %1").arg(image.width()));
            },
            [&] { return label(QStringLiteral("placeholder")); },
            [&] { return label(QStringLiteral("fallback")); });
        view.setImageLoader(&loader);
        const auto shown = [&] { return qobject_cast<QLabel *>(view.shownWidget())->text(); };
        EXPECT_EQ(shown(), QStringLiteral("placeholder"));
        view.show();
        ASSERT_EQ(loader.calls.size(), 1);
        EXPECT_EQ(shown(), QStringLiteral("placeholder"));
        if (succeeds)
            loader.complete(0, filled({30, 20}));
        else
            loader.complete(0, RemoteImageError{RemoteImageErrorKind::transferFailed, {}});
        EXPECT_EQ(shown(), succeeds ? QStringLiteral("content 30") : QStringLiteral("fallback"));
    }
}

} // namespace
} // namespace tolvaran::markdown
