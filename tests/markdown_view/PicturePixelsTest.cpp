#include "RenderedText.h"

#include "markdown_view/MarkdownView.h"
#include "markdown_view/items/RemoteImageItem.h"
#include "markdown_view/items/TextItem.h"
#include "remote_image/DefaultRemoteImageCache.h"
#include "remote_image/DefaultRemoteImageLoader.h"
#include "remote_image/RemoteImageModel.h"
#include "support/markdown/ManualRemoteImageLoader.h"
#include "support/markdown/TestImages.h"
#include "support/WaitUntil.h"

#include <QFile>
#include <QHash>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace tolvaran::markdown {

class DefaultInlineImageProviderTesting
{
public:
    // The provider the program uses, loading through `loader` instead of the shared loader.
    static std::shared_ptr<const InlineImageProvider> over(RemoteImageLoader &loader)
    {
        auto provider = std::make_shared<DefaultInlineImageProvider>();
        provider->m_loader = &loader;
        return provider;
    }
};

class RemoteImageModelTesting
{
public:
    static bool settling(const RemoteImageModel &model) { return model.m_settle.isActive(); }
};

} // namespace tolvaran::markdown

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testing;
using tolvaran::fixtures::ManualRemoteImageLoader;
using tolvaran::fixtures::waitUntil;

namespace {

QList<const RemoteImageItem *> picturesOf(const MarkdownView &view)
{
    QList<const RemoteImageItem *> pictures;
    for (const auto &[item, position] : placedOfType<RemoteImageItem>(*view.documentLayout()))
        pictures.append(item);
    return pictures;
}

// The pixels the picture's model holds; a null image while it holds none.
QImage heldImage(const RemoteImageItem &picture)
{
    const std::optional<QImage> image =
        picture.model() ? picture.model()->image().image() : std::nullopt;
    return image ? *image : QImage();
}

QSize devicePixels(const QSizeF &size, qreal ratio)
{
    return {int(std::ceil(size.width() * ratio)), int(std::ceil(size.height() * ratio))};
}

bool holdsDrawnSize(const RemoteImageItem &picture, qreal ratio)
{
    const QSize held = heldImage(picture).size();
    const QSize drawn = devicePixels(picture.size(), ratio);
    return !picture.size().isEmpty() && std::abs(held.width() - drawn.width()) <= 1
           && std::abs(held.height() - drawn.height()) <= 1;
}

// A view over a loader that decodes, as the program's does, reading pictures from a folder.
struct PictureFolderWorld
{
    PictureFolderWorld()
        : loader(cache, &session)
    {
        view.setRemoteImageLoader(&loader);
    }

    void writePicture(const QString &name, QSize size)
    {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(tolvaran::fixtures::pngImage(size));
    }

    QUrl folderURL() const { return QUrl::fromLocalFile(folder.path() + u'/'); }

    QTemporaryDir folder;
    DefaultRemoteImageCache cache{DefaultRemoteImageCache::sharedCountLimit};
    QNetworkAccessManager session;
    DefaultRemoteImageLoader loader;
    MarkdownView view;
};

TEST(PicturePixels, aPictureHoldsItsDrawnSizeInDevicePixelsAndLaysOutAtItsOwn)
{
    PictureFolderWorld world;
    world.writePicture(QStringLiteral("wide.png"), {1600, 1200});
    world.view.resize(500, 400);
    world.view.show();
    world.view.setMarkdown(QStringLiteral("![wide](wide.png)"), world.folderURL());
    ASSERT_TRUE(waitUntil([&] {
        return world.view.documentLayout() && picturesOf(world.view).size() == 1
               && holdsDrawnSize(*picturesOf(world.view)[0], 1);
    }));
    const RemoteImageItem &picture = *picturesOf(world.view)[0];
    EXPECT_EQ(picture.idealSize(), QSizeF(1600, 1200));
    EXPECT_LE(picture.size().width(), 500);
    EXPECT_NEAR(picture.size().height(), picture.size().width() * 0.75, 1);

    // A window made wider draws the picture larger, from pixels decoded larger; a narrower
    // one keeps no more than it draws.
    world.view.resize(900, 400);
    ASSERT_TRUE(waitUntil([&] {
        const RemoteImageItem &shown = *picturesOf(world.view)[0];
        return shown.size().width() > 800 && holdsDrawnSize(shown, 1);
    }));
    world.view.resize(300, 400);
    ASSERT_TRUE(waitUntil([&] {
        const RemoteImageItem &shown = *picturesOf(world.view)[0];
        return shown.size().width() < 300 && holdsDrawnSize(shown, 1);
    }));

    // Painted at two device pixels a point, it is drawn from twice the pixels (the view,
    // hidden, paints no more at one).
    world.view.hide();
    const QSizeF drawn = picturesOf(world.view)[0]->size();
    QImage canvas(QSize(600, 800), QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(2);
    {
        QPainter painter(&canvas);
        world.view.documentLayout()->paint(painter, world.view.palette(),
                                           QRectF(0, 0, 300, 400));
    }
    ASSERT_TRUE(waitUntil([&] { return holdsDrawnSize(*picturesOf(world.view)[0], 2); }));
    EXPECT_EQ(picturesOf(world.view)[0]->size(), drawn);
}

// The pixels a picture in a line of text holds; a null image while it holds none.
QImage heldImage(const AttributedText::Image &picture)
{
    return heldImage(picture.picture->item());
}

TEST(PicturePixels, picturesInLinesOfTextShareTheirPixelsDrawnSizeUnderTheBudget)
{
    // Many references to two pictures, each in a line of text.
    PictureFolderWorld world;
    world.writePicture(QStringLiteral("a.png"), {1000, 750});
    world.writePicture(QStringLiteral("b.png"), {750, 1000});
    world.view.setInlineImageProvider(DefaultInlineImageProviderTesting::over(world.loader));
    world.view.resize(500, 400);
    world.view.show();
    constexpr int rows = 24;
    QString markdown;
    for (int row = 0; row < rows; ++row)
        markdown += QStringLiteral("Row %1: ![a](a.png) and ![b](b.png).\n\n").arg(row);
    world.view.setMarkdown(markdown, world.folderURL());
    const auto texts = [&] {
        QList<const TextItem *> shown;
        for (const auto &[text, origin] : placedOfType<TextItem>(*world.view.documentLayout())) {
            if (text->attributedText().images.size() == 2)
                shown.append(text);
        }
        return shown;
    };
    // Read down and back up: every row shows its pictures.
    QScrollBar *bar = world.view.verticalScrollBar();
    ASSERT_TRUE(waitUntil([&] {
        world.view.viewport()->repaint();
        return world.view.documentLayout() && world.view.documentLayout()->isComplete()
               && !texts().isEmpty();
    }));
    for (int top = 0; top <= bar->maximum() + bar->pageStep(); top += bar->pageStep()) {
        bar->setValue(top);
        ASSERT_TRUE(waitUntil([&] {
            world.view.viewport()->repaint();
            return texts().size() == rows;
        }));
    }
    bar->setValue(0);
    world.view.viewport()->repaint();

    // Each picture's references hold one copy of its pixels, at the size it is drawn, not the
    // whole picture; the document's budget counts them.
    const ImagePixelBudget &budget = world.view.documentLayout()->imagePixelBudget();
    QHash<qint64, qint64> distinct; // bytes by pixel buffer
    QHash<QString, QSet<const uchar *>> buffers;
    for (const TextItem *text : texts()) {
        for (const AttributedText::Image &picture : text->attributedText().images) {
            const QImage held = heldImage(picture);
            if (held.isNull())
                continue;
            EXPECT_LE(held.width(), 500);
            distinct.insert(qint64(quintptr(held.constBits())), held.sizeInBytes());
            buffers[held.width() > held.height() ? QStringLiteral("a") : QStringLiteral("b")]
                .insert(held.constBits());
        }
    }
    EXPECT_EQ(buffers.value(QStringLiteral("a")).size(), 1);
    EXPECT_EQ(buffers.value(QStringLiteral("b")).size(), 1);
    qint64 held = 0;
    for (const qint64 bytes : std::as_const(distinct))
        held += bytes;
    EXPECT_GT(budget.heldBytes(), 0);
    EXPECT_GE(budget.heldBytes(), held);
    EXPECT_LE(budget.heldBytes(), budget.limitBytes());
}

// Pictures larger than the document's budget together: each decoded at 900 by 675 pixels.
struct ManyPicturesWorld
{
    static constexpr int count = 30;
    static constexpr QSize pictureSize{1800, 1350};

    ManyPicturesWorld()
    {
        view.setRemoteImageLoader(&loader);
        view.resize(900, 500);
        view.show();
        QString markdown;
        for (int i = 0; i < count; ++i)
            markdown += QStringLiteral("![p%1](https://pictures.invalid/%1.png)\n\n").arg(i);
        view.setContent(MarkdownContent(markdown));
    }

    // Answers every request not answered yet with a red picture at the size it asks for.
    void answerRequests()
    {
        for (; answered < loader.calls.size(); ++answered)
            loader.completeWithPicture(answered, pictureSize, Qt::red);
    }

    // Answers requests until every picture is laid out and the view has painted it all.
    bool settle()
    {
        return waitUntil([&] {
            answerRequests();
            view.viewport()->repaint();
            tolvaran::fixtures::runQueuedWork(1);
            const auto pictures = picturesOf(view);
            return answered == loader.calls.size() && pictures.size() == count
                   && std::all_of(pictures.begin(), pictures.end(),
                                  [](const RemoteImageItem *p) { return !p->size().isEmpty(); });
        });
    }

    qint64 heldBytes() const
    {
        qint64 bytes = 0;
        for (const RemoteImageItem *picture : picturesOf(view))
            bytes += heldImage(*picture).sizeInBytes();
        return bytes;
    }

    ManualRemoteImageLoader loader;
    MarkdownView view;
    qsizetype answered = 0;
};

TEST(PicturePixels, aViewsPicturesStayWithinItsBudgetAndComeBackWhenScrolledTo)
{
    ManyPicturesWorld world;
    ASSERT_TRUE(world.settle());
    const ImagePixelBudget &budget = world.view.documentLayout()->imagePixelBudget();
    // More than the budget would be held without it.
    ASSERT_GT(qint64(ManyPicturesWorld::count) * 900 * 675 * 4, budget.limitBytes());
    EXPECT_LE(world.heldBytes(), budget.limitBytes());
    EXPECT_EQ(world.heldBytes(), budget.heldBytes());

    // Read from start to end, more pictures are drawn than the budget holds: some picture
    // left behind let go of its pixels; scrolled back to, it is drawn again.
    QScrollBar *bar = world.view.verticalScrollBar();
    for (int top = 0; top < bar->maximum() + bar->pageStep(); top += bar->pageStep()) {
        bar->setValue(top);
        ASSERT_TRUE(world.settle());
        EXPECT_LE(world.heldBytes(), budget.limitBytes());
    }
    const auto placed = placedOfType<RemoteImageItem>(*world.view.documentLayout());
    const auto released = std::find_if(placed.begin(), placed.end(), [](const auto &picture) {
        return heldImage(*picture.first).isNull();
    });
    ASSERT_NE(released, placed.end());
    const RemoteImageItem *picture = released->first;
    bar->setValue(int(released->second.y()));
    ASSERT_TRUE(world.settle());
    ASSERT_TRUE(waitUntil([&] {
        world.answerRequests();
        return !heldImage(*picture).isNull();
    }));
    const QImage shown = world.view.viewport()->grab().toImage();
    const QPointF inView = released->second - QPointF(0, bar->value()) + QPointF(20, 20);
    EXPECT_EQ(shown.pixelColor(inView.toPoint()), QColor(Qt::red));
    EXPECT_LE(world.heldBytes(), budget.limitBytes());
    EXPECT_EQ(world.heldBytes(), budget.heldBytes());
}

TEST(PicturePixels, aWindowDraggedWiderLoadsPixelsOnceForThePicturesOnScreen)
{
    // Short enough that only the first picture is ever on screen.
    ManyPicturesWorld world;
    world.view.resize(600, 300);
    ASSERT_TRUE(world.settle());
    ASSERT_TRUE(waitUntil([&] {
        world.view.viewport()->repaint();
        world.answerRequests();
        const auto pictures = picturesOf(world.view);
        return std::none_of(pictures.begin(), pictures.end(), [](const auto *picture) {
            return RemoteImageModelTesting::settling(*picture->model());
        });
    }));
    const qsizetype before = world.loader.calls.size();

    // Painted at every step, as a drag paints; held pixels are drawn scaled meanwhile.
    for (int width = 650; width <= 900; width += 50) {
        world.view.resize(width, 300);
        world.view.viewport()->repaint();
    }
    EXPECT_EQ(world.loader.calls.size(), before);
    ASSERT_TRUE(waitUntil([&] {
        world.view.viewport()->repaint();
        const auto pictures = picturesOf(world.view);
        return std::none_of(pictures.begin(), pictures.end(), [](const auto *picture) {
            return RemoteImageModelTesting::settling(*picture->model());
        });
    }));
    const QRectF shown(0, world.view.verticalScrollBar()->value(), 900, 300);
    QSet<QUrl> asked;
    for (qsizetype i = before; i < world.loader.calls.size(); ++i) {
        const QUrl url = world.loader.calls[i].url;
        EXPECT_FALSE(asked.contains(url)) << url.toString().toStdString();
        asked.insert(url);
        for (const auto &[picture, origin] : placedOfType<RemoteImageItem>(
                 *world.view.documentLayout())) {
            if (picture->url() == url) {
                EXPECT_TRUE(shown.intersects(QRectF(origin, picture->size())))
                    << url.toString().toStdString();
            }
        }
    }
    EXPECT_FALSE(asked.isEmpty());
}

TEST(PicturePixels, aPictureStillLoadingIsInViewWhereItsPlaceShowsAndLeavesItWhenPassed)
{
    // The top picture stands alone or in a line of text, which loads through the inline
    // provider the program uses, over the test's loader instead of the shared one.
    const struct
    {
        const char *name;
        QString top; // the top picture's paragraph, %1 its address
        bool inLine;
    } rows[] = {
        {"a block picture", QStringLiteral("![p0](%1)"), false},
        {"a picture in a line of text", QStringLiteral("Text ![p0](%1) in a line"), true},
    };
    const auto url = [](int i) {
        return QUrl(QStringLiteral("https://pictures.invalid/%1.png").arg(i));
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        // Loads held: each picture takes no room; the top two share the first screen, and
        // each picture below them stands below a block taller than the view.
        ManualRemoteImageLoader loader;
        MarkdownView view;
        view.setRemoteImageLoader(&loader);
        if (row.inLine)
            view.setInlineImageProvider(DefaultInlineImageProviderTesting::over(loader));
        view.resize(600, 300);
        view.show();
        constexpr int count = 6;
        QString markdown = row.top.arg(url(0).toString()) + QStringLiteral("\n\n");
        for (int i = 1; i < count; ++i) {
            markdown += QStringLiteral("![p%1](%2)\n\n```\n").arg(i).arg(url(i).toString());
            for (int line = 0; line < 40; ++line)
                markdown += QStringLiteral("line %1\n").arg(line);
            markdown += QStringLiteral("```\n\n");
        }
        view.setContent(MarkdownContent(markdown));
        ASSERT_TRUE(waitUntil([&] {
            return view.documentLayout()->isComplete() && loader.calls.size() == count;
        }));
        const RemoteImageItem &first = *picturesOf(view)[0];
        ASSERT_TRUE(first.size().isEmpty());
        view.viewport()->repaint();
        EXPECT_TRUE(loader.drawn.contains(url(0)));
        EXPECT_TRUE(loader.drawn.contains(url(1)));
        EXPECT_FALSE(loader.drawn.contains(url(2)));

        // Read down a page at a time: each picture is in view on its page, and leaves it
        // after.
        QScrollBar *bar = view.verticalScrollBar();
        for (int at = 0; at <= bar->maximum(); at += bar->pageStep()) {
            bar->setValue(at);
            view.viewport()->repaint();
        }
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(loader.drawn.contains(url(i))) << i;
        EXPECT_TRUE(loader.left.contains(url(0)));

        // Back at the top, the top pictures, without room still, are in view again, the top
        // one told last of all: it is decoded first, then the one below it, before those
        // drawn earlier.
        loader.drawn.clear();
        bar->setValue(0);
        view.viewport()->repaint();
        EXPECT_TRUE(first.size().isEmpty());
        ASSERT_FALSE(loader.drawn.isEmpty());
        EXPECT_EQ(loader.drawn.last(), url(0));
        EXPECT_EQ(loader.decodingOrder().mid(0, 2), (QList<QUrl>{url(0), url(1)}));

        // Hidden, the view shows none of its pictures.
        loader.left.clear();
        view.hide();
        EXPECT_EQ(loader.left, (QList<QUrl>{url(0), url(1)}));

        // Shown again once the second picture has arrived, only the top one, still loading,
        // is told; gone with the document, it has left the view.
        view.show();
        const auto secondCall = std::find_if(loader.calls.begin(), loader.calls.end(),
                                             [&](const auto &call) { return call.url == url(1); });
        loader.completeWithPicture(secondCall - loader.calls.begin(), {40, 20}, Qt::red);
        loader.drawn.clear();
        loader.left.clear();
        ASSERT_TRUE(waitUntil([&] {
            view.viewport()->repaint();
            return loader.drawn.contains(url(0));
        }));
        EXPECT_FALSE(loader.drawn.contains(url(1)));
        view.setContent(MarkdownContent(QStringLiteral("Other text")));
        EXPECT_EQ(loader.left, QList<QUrl>{url(0)});
    }
}

TEST(PicturePixels, aPictureMovedDownOutOfViewByOneArrivingAboveItHasNotLeftIt)
{
    ManualRemoteImageLoader loader;
    MarkdownView view;
    view.setRemoteImageLoader(&loader);
    view.resize(600, 300);
    view.show();
    const QUrl above(QStringLiteral("https://pictures.invalid/above.png"));
    const QUrl below(QStringLiteral("https://pictures.invalid/below.png"));
    QString markdown = QStringLiteral("![above](%1)\n\n![below](%2)\n\n```\n")
                           .arg(above.toString(), below.toString());
    for (int line = 0; line < 40; ++line)
        markdown += QStringLiteral("line %1\n").arg(line);
    view.setContent(MarkdownContent(markdown + QStringLiteral("```\n")));
    ASSERT_TRUE(waitUntil([&] {
        return view.documentLayout()->isComplete() && loader.calls.size() == 2;
    }));
    view.viewport()->repaint();
    ASSERT_TRUE(loader.drawn.contains(below));

    // The one above arrives taller than the view, the reader still at the top.
    const qsizetype first = loader.calls[0].url == above ? 0 : 1;
    loader.completeWithPicture(first, {500, 600}, Qt::red);
    ASSERT_TRUE(waitUntil([&] {
        view.viewport()->repaint();
        const auto placed = placedOfType<RemoteImageItem>(*view.documentLayout());
        return placed.size() == 2 && placed[1].second.y() > view.viewport()->height();
    }));
    EXPECT_TRUE(loader.left.isEmpty());

    // Passed, it has.
    QScrollBar *bar = view.verticalScrollBar();
    bar->setValue(bar->maximum());
    view.viewport()->repaint();
    EXPECT_EQ(loader.left, QList<QUrl>{below});
}

TEST(PicturePixels, aPictureInATableCellIsAskedForNoWiderThanTheTableAndTakesItsColumn)
{
    // A table measures its columns with cells laid out without a width limit: a picture alone
    // in its cell or in a line of text is not decoded whole for it, and lays out from the size
    // it declares.
    for (const QString &cell : {QStringLiteral("![p](https://pictures.invalid/p.png)"),
                                QStringLiteral("Row ![p](https://pictures.invalid/p.png)")}) {
        SCOPED_TRACE(cell.toStdString());
        ManualRemoteImageLoader loader;
        MarkdownView view;
        view.setRemoteImageLoader(&loader);
        view.setInlineImageProvider(DefaultInlineImageProviderTesting::over(loader));
        view.resize(500, 400);
        view.show();
        view.setContent(MarkdownContent(QStringLiteral("| Picture |\n| --- |\n| %1 |").arg(cell)));
        ASSERT_TRUE(waitUntil([&] { return !loader.calls.isEmpty(); }));
        const QSize asked = loader.calls.front().maximumSize;
        ASSERT_TRUE(asked.isValid());
        EXPECT_LE(asked.width(), 500);
        loader.completeWithPicture(0, {4096, 4096}, Qt::red);
        EXPECT_TRUE(waitUntil([&] {
            view.viewport()->repaint();
            return view.documentLayout()->height() > asked.width() - 50;
        }));
    }
}

TEST(PicturePixels, aPictureWhosePixelsFailToLoadAgainKeepsItsRoom)
{
    const RemoteImageError unreachable{RemoteImageErrorKind::transferFailed, {}};
    const struct
    {
        const char *name;
        std::function<void(ManyPicturesWorld &)> reload;
        bool released; // whether pictures were left without pixels
    } rows[] = {
        {"drawn at another size", [](ManyPicturesWorld &world) { world.view.resize(700, 500); },
         false},
        {"pixels released by the budget, scrolled back to",
         [](ManyPicturesWorld &world) {
             QScrollBar *bar = world.view.verticalScrollBar();
             for (int top = 0; top < bar->maximum() + bar->pageStep(); top += bar->pageStep()) {
                 bar->setValue(top);
                 world.settle();
             }
             bar->setValue(0);
         },
         true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ManyPicturesWorld world;
        ASSERT_TRUE(world.settle());
        row.reload(world);
        ASSERT_TRUE(waitUntil([&] {
            world.view.viewport()->repaint();
            return world.view.documentLayout()->isComplete()
                   && picturesOf(world.view).size() == ManyPicturesWorld::count;
        }));
        const qreal height = world.view.documentLayout()->height();
        QList<QSizeF> sizes;
        for (const RemoteImageItem *picture : picturesOf(world.view))
            sizes.append(picture->size());

        // Every load that follows fails, as with the host out of reach.
        ASSERT_TRUE(waitUntil([&] {
            world.view.viewport()->repaint();
            tolvaran::fixtures::runQueuedWork(1);
            for (; world.answered < world.loader.calls.size(); ++world.answered)
                world.loader.complete(world.answered, unreachable);
            const auto pictures = picturesOf(world.view);
            return world.answered > 0
                   && std::none_of(pictures.begin(), pictures.end(), [](const auto *picture) {
                          return RemoteImageModelTesting::settling(*picture->model());
                      });
        }));
        world.view.viewport()->repaint();
        EXPECT_EQ(world.view.documentLayout()->height(), height);
        const auto pictures = picturesOf(world.view);
        ASSERT_EQ(pictures.size(), sizes.size());
        for (qsizetype i = 0; i < pictures.size(); ++i) {
            EXPECT_EQ(pictures[i]->size(), sizes[i]) << "picture " << i;
            EXPECT_EQ(pictures[i]->model()->image().kind(), RemoteImageState::Kind::success);
        }
        // A picture left without pixels is asked for again when it is drawn again.
        world.view.viewport()->repaint();
        if (row.released) {
            EXPECT_GT(world.loader.calls.size(), world.answered);
        }
    }
}

class CountingHolder final : public ImagePixelBudget::Holder
{
public:
    void releasePixels() override { ++releases; }
    int releases = 0;
};

TEST(ImagePixelBudget, takesBackThePixelsPaintedLongestAgoAndNeverThoseOfTheLatestPaint)
{
    ImagePixelBudget budget(100);
    CountingHolder never, early, late, current;
    budget.setHeld(&never, 30);
    budget.beginPaint();
    budget.painted(&early);
    budget.setHeld(&early, 30);
    budget.beginPaint();
    budget.painted(&late);
    budget.setHeld(&late, 30);
    budget.beginPaint();
    budget.painted(&current);
    EXPECT_EQ(budget.heldBytes(), 90);

    // Over the limit: the picture never painted goes first, then the one painted earliest.
    budget.setHeld(&current, 50);
    EXPECT_EQ(never.releases, 1);
    EXPECT_EQ(early.releases, 1);
    EXPECT_EQ(late.releases, 0);
    EXPECT_EQ(budget.heldBytes(), 80);

    // Pictures of the latest paint alone may pass the limit; nothing else is left to take.
    budget.painted(&late);
    budget.setHeld(&current, 90);
    EXPECT_EQ(late.releases, 0);
    EXPECT_EQ(current.releases, 0);
    EXPECT_EQ(budget.heldBytes(), 120);
    budget.remove(&current);
    EXPECT_EQ(budget.heldBytes(), 30);
}

} // namespace
