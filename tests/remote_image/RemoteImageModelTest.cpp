#include "remote_image/RemoteImageModel.h"
#include "support/markdown/ManualRemoteImageLoader.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace tolvaran::markdown {

class RemoteImageModelTesting
{
public:
    // Whether the model still waits for its drawn size to settle.
    static bool settling(const RemoteImageModel &model) { return model.m_settle.isActive(); }
};

namespace {

// Lets the wait for the drawn size to settle run out.
bool settled(const RemoteImageModel &model)
{
    return fixtures::waitUntil([&] { return !RemoteImageModelTesting::settling(model); });
}

const ImageSource sourceA{QUrl(QStringLiteral("https://images.invalid/a.png")), 1};
const ImageSource sourceB{QUrl(QStringLiteral("https://images.invalid/b.png")), 1};

QImage filled(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

const RemoteImageError failed{RemoteImageErrorKind::badServerResponse, {}};

struct ModelWorld
{
    ModelWorld() { model.setImageLoader(&loader); }

    QColor shownColour() const
    {
        const auto image = model.image().image();
        return image ? image->pixelColor(0, 0) : QColor();
    }

    fixtures::ManualRemoteImageLoader loader;
    RemoteImageModel model;
};

TEST(RemoteImageModel, withoutSourceLoadsNothing)
{
    ModelWorld world;
    world.model.sourceChanged(std::nullopt);
    EXPECT_TRUE(world.loader.calls.isEmpty());
    EXPECT_EQ(world.model.image(), RemoteImageState::empty());
}

TEST(RemoteImageModel, keepsThePreviousImageUntilTheNewSourceLoads)
{
    ModelWorld world;
    world.model.sourceChanged(sourceA);
    world.loader.complete(0, filled({4, 4}, Qt::red));
    world.model.sourceChanged(sourceB);
    EXPECT_EQ(world.shownColour(), QColor(Qt::red));

    world.loader.complete(1, filled({4, 4}, Qt::blue));
    EXPECT_EQ(world.shownColour(), QColor(Qt::blue));

    world.model.sourceChanged(sourceA);
    world.loader.complete(2, failed);
    EXPECT_EQ(world.model.image(), RemoteImageState::failure());
}

TEST(RemoteImageModel, noSourceAfterSuccessKeepsTheImage)
{
    ModelWorld world;
    world.model.sourceChanged(sourceA);
    world.loader.complete(0, filled({4, 4}, Qt::red));
    world.model.sourceChanged(std::nullopt);
    EXPECT_EQ(world.shownColour(), QColor(Qt::red));
    EXPECT_EQ(world.loader.calls.size(), 1);
}

TEST(RemoteImageModel, sameSourceDoesNotLoadAgainEvenAfterFailure)
{
    ModelWorld world;
    world.model.sourceChanged(sourceA);
    world.loader.complete(0, failed);
    world.model.sourceChanged(sourceA);
    EXPECT_EQ(world.loader.calls.size(), 1);

    // The same address at another scale is another source.
    world.model.sourceChanged(ImageSource{sourceA.url, 2});
    EXPECT_EQ(world.loader.calls.size(), 2);
}

TEST(RemoteImageModel, slowEarlierLoadNeverReplacesANewerImage)
{
    ModelWorld world;
    int changes = 0;
    QObject::connect(&world.model, &RemoteImageModel::imageChanged, [&] { ++changes; });
    world.model.sourceChanged(sourceA);
    world.model.sourceChanged(sourceB);
    world.loader.complete(1, filled({4, 4}, Qt::blue));
    world.loader.complete(0, filled({4, 4}, Qt::red));
    EXPECT_EQ(world.shownColour(), QColor(Qt::blue));

    // Nor does its failure.
    world.model.sourceChanged(sourceA);
    world.model.sourceChanged(sourceB);
    world.loader.complete(2, failed);
    EXPECT_EQ(world.shownColour(), QColor(Qt::blue));
    EXPECT_EQ(changes, 1);
}

TEST(RemoteImageModel, idealSizeIsPixelsOverScale)
{
    const struct
    {
        qreal scale;
        QSizeF idealSize;
    } rows[] = {{1, {200, 100}}, {2, {100, 50}}, {0, {200, 100}}, {-1, {200, 100}}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.scale);
        ModelWorld world;
        world.model.sourceChanged(ImageSource{sourceA.url, row.scale});
        world.loader.complete(0, filled({200, 100}, Qt::red));
        EXPECT_EQ(world.model.image().kind(), RemoteImageState::Kind::success);
        EXPECT_EQ(world.model.image().idealSize(), row.idealSize);
    }
}

TEST(RemoteImageModel, passesTheImageFolderToTheLoader)
{
    ModelWorld world;
    const QUrl folder = QUrl::fromLocalFile(QStringLiteral("/home/someone/project/docs"));
    world.model.setImageBaseURL(folder);
    world.model.sourceChanged(sourceA);
    ASSERT_EQ(world.loader.calls.size(), 1);
    EXPECT_EQ(world.loader.calls.first().imageBaseURL, folder);
}

TEST(RemoteImageModel, keepsThePixelsOfTheSizeItIsDrawnAt)
{
    ModelWorld world;
    const QSize picture(400, 200);
    world.model.setDrawnSize({100, 100});
    world.model.sourceChanged(sourceA);
    ASSERT_EQ(world.loader.calls.size(), 1);
    EXPECT_EQ(world.loader.calls[0].maximumSize, QSize(100, 100));
    world.loader.completeWithPicture(0, picture, Qt::red);
    EXPECT_EQ(world.model.image().image()->size(), QSize(100, 50));
    EXPECT_EQ(world.model.image().idealSize(), QSizeF(400, 200));

    // A pixel's rounding asks for nothing; a larger size loads again, once at a time, and
    // the last size asked meanwhile follows.
    world.model.setDrawnSize({101, 51});
    ASSERT_TRUE(settled(world.model));
    EXPECT_EQ(world.loader.calls.size(), 1);
    world.model.setDrawnSize({200, 100});
    ASSERT_TRUE(fixtures::waitUntil([&] { return world.loader.calls.size() == 2; }));
    EXPECT_EQ(world.loader.calls[1].maximumSize, QSize(200, 100));
    world.model.setDrawnSize({300, 150});
    EXPECT_EQ(world.model.image().image()->size(), QSize(100, 50)); // shown meanwhile
    world.loader.completeWithPicture(1, picture, Qt::red);
    ASSERT_TRUE(fixtures::waitUntil([&] { return world.loader.calls.size() == 3; }));
    EXPECT_EQ(world.loader.calls[2].maximumSize, QSize(300, 150));
    world.loader.completeWithPicture(2, picture, Qt::red);
    EXPECT_EQ(world.model.image().image()->size(), QSize(300, 150));

    // Released pixels load again when the image is drawn, not before; the ideal size is
    // kept meanwhile.
    world.model.releasePixels();
    EXPECT_EQ(world.model.heldBytes(), 0);
    EXPECT_EQ(world.model.image().idealSize(), QSizeF(400, 200));
    world.model.setDrawnSize({300, 151});
    world.model.setDrawnSize({300, 150});
    ASSERT_TRUE(settled(world.model));
    EXPECT_EQ(world.loader.calls.size(), 3);
    // Drawn while they load, they go before pictures not drawn lately; drawn once held,
    // nothing is asked.
    world.model.pixelsNeeded();
    ASSERT_EQ(world.loader.calls.size(), 4);
    EXPECT_EQ(world.loader.drawn, QList<QUrl>{sourceA.url});
    QImage delivered(fittedPictureSize(picture, {300, 150}), QImage::Format_ARGB32);
    delivered.setDevicePixelRatio(0.75); // as the default loader delivers it
    world.loader.complete(3, DecodedImage(delivered, picture));
    world.model.pixelsNeeded();
    EXPECT_EQ(world.loader.drawn.size(), 1);
    EXPECT_EQ(world.model.heldBytes(), world.model.image().image()->sizeInBytes());
    EXPECT_GT(world.model.heldBytes(), 0);
    // Pixels whose ratio is the loader's are the loader's (and its cache's), not a copy.
    EXPECT_EQ(world.model.image().image()->constBits(), delivered.constBits());

    // A loader that answers with the whole picture is not asked the same again.
    world.model.setDrawnSize({50, 25});
    ASSERT_TRUE(fixtures::waitUntil([&] { return world.loader.calls.size() == 5; }));
    world.loader.complete(4, filled(picture, Qt::red));
    world.model.setDrawnSize({50, 26});
    world.model.setDrawnSize({50, 25});
    ASSERT_TRUE(settled(world.model));
    EXPECT_EQ(world.loader.calls.size(), 5);
}

TEST(RemoteImageModel, aLoadInFlightIsInViewWhileShownAndLeavesOnceWhenScrolledAwayOrGone)
{
    ModelWorld world;
    world.model.sourceChanged(sourceA);
    // The first load runs while the picture takes no room: only the view knows where it is.
    world.model.setInView(true);
    world.model.setInView(false);
    world.model.setInView(false);
    // Loaded, it has nothing to wait for.
    world.model.setInView(true);
    world.loader.complete(0, filled({4, 4}, Qt::red));
    world.model.setInView(false);

    // A model gone while in view, its load in flight, has left the view; one out of view had.
    for (const bool inView : {true, false}) {
        auto model = std::make_unique<RemoteImageModel>();
        model->setImageLoader(&world.loader);
        model->sourceChanged(sourceB);
        model->setInView(inView);
    }
    EXPECT_EQ(world.loader.drawn, (QList<QUrl>{sourceA.url, sourceA.url, sourceB.url}));
    EXPECT_EQ(world.loader.left, (QList<QUrl>{sourceA.url, sourceB.url}));
}

TEST(RemoteImageModel, loadsPixelsForANewSizeOnlyOnceTheSizeHolds)
{
    ModelWorld world;
    const QSize picture(1600, 800);
    world.model.setDrawnSize({800, 400});
    world.model.sourceChanged(sourceA);
    world.loader.completeWithPicture(0, picture, Qt::red);

    // A window dragged wider: the held pixels are drawn scaled at every step, and the
    // picture is loaded once, at the size it settles at.
    for (int width = 850; width <= 1600; width += 50)
        world.model.setDrawnSize({width, width / 2});
    EXPECT_EQ(world.loader.calls.size(), 1);
    EXPECT_EQ(world.model.image().image()->size(), QSize(800, 400));
    ASSERT_TRUE(fixtures::waitUntil([&] { return world.loader.calls.size() == 2; }));
    EXPECT_EQ(world.loader.calls[1].maximumSize, QSize(1600, 800));

    // A load that ends while the size is changing again leaves the next load to the wait.
    world.model.setDrawnSize({1000, 500});
    world.loader.completeWithPicture(1, picture, Qt::red);
    EXPECT_EQ(world.loader.calls.size(), 2);
    ASSERT_TRUE(fixtures::waitUntil([&] { return world.loader.calls.size() == 3; }));
    EXPECT_EQ(world.loader.calls[2].maximumSize, QSize(1000, 500));
}

TEST(RemoteImageModel, failedLoadKeepsAPictureOfTheSameSourceAndFailsAnyOther)
{
    const QSize picture(400, 200);
    const QSizeF ideal(400, 200);
    // Each row loads sourceA at 100 by 100 pixels (request 0) and then leads to a request
    // that fails.
    const struct
    {
        const char *name;
        std::function<void(ModelWorld &)> steps;
        RemoteImageState::Kind kind;
        QSize heldPixels; // empty: none held
    } rows[] = {
        {"reload for another size",
         [](ModelWorld &world) {
             world.model.setDrawnSize({300, 300});
             fixtures::waitUntil([&] { return world.loader.calls.size() == 2; });
         },
         RemoteImageState::Kind::success, {100, 50}},
        {"reload of released pixels",
         [](ModelWorld &world) {
             world.model.releasePixels();
             world.model.pixelsNeeded();
         },
         RemoteImageState::Kind::success, {}},
        {"the same source again after another",
         [](ModelWorld &world) {
             world.model.sourceChanged(sourceB);
             world.model.sourceChanged(sourceA);
         },
         RemoteImageState::Kind::success, {100, 50}},
        {"a new source",
         [](ModelWorld &world) { world.model.sourceChanged(sourceB); },
         RemoteImageState::Kind::failure, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ModelWorld world;
        int changes = 0;
        QObject::connect(&world.model, &RemoteImageModel::imageChanged, [&] { ++changes; });
        world.model.setDrawnSize({100, 100});
        world.model.sourceChanged(sourceA);
        world.loader.completeWithPicture(0, picture, Qt::red);
        row.steps(world);
        ASSERT_GE(world.loader.calls.size(), 2);
        world.loader.complete(world.loader.calls.size() - 1, failed);

        EXPECT_EQ(world.model.image().kind(), row.kind);
        const std::optional<QImage> held = world.model.image().image();
        EXPECT_EQ(held && !held->isNull() ? held->size() : QSize(), row.heldPixels);
        if (row.kind == RemoteImageState::Kind::success) {
            EXPECT_EQ(world.model.image().idealSize(), ideal);
            EXPECT_EQ(changes, 1);
        }

        // Nothing is asked again by itself; a picture left without pixels waits to be drawn,
        // whatever size it settles at.
        const qsizetype asked = world.loader.calls.size();
        if (row.heldPixels.isEmpty())
            world.model.setDrawnSize({120, 120});
        ASSERT_TRUE(settled(world.model));
        fixtures::runQueuedWork();
        EXPECT_EQ(world.loader.calls.size(), asked);
        if (row.kind == RemoteImageState::Kind::success && row.heldPixels.isEmpty()) {
            world.model.pixelsNeeded();
            EXPECT_EQ(world.loader.calls.size(), asked + 1);
        }
    }
}

} // namespace
} // namespace tolvaran::markdown
