#include "RenderedText.h"

#include "markdown/MarkdownParser.h"
#include "markdown_view/FlowLayout.h"
#include "markdown_view/items/ImageFlow.h"
#include "markdown_view/items/ImageView.h"
#include "markdown_view/InlineImageProvider.h"
#include "markdown_view/MarkdownView.h"
#include "markdown_view/items/RemoteImageItem.h"
#include "markdown_view/items/TableView.h"
#include "remote_image/DefaultRemoteImageLoader.h"
#include "support/network/LocalHttpServer.h"
#include "support/markdown/ManualRemoteImageLoader.h"
#include "support/QtPrinters.h"
#include "support/markdown/TestImages.h"
#include "support/WaitUntil.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testing;
using tolvaran::fixtures::LocalHttpServer;
using tolvaran::fixtures::ManualRemoteImageLoader;
using tolvaran::fixtures::pngImage;
using tolvaran::fixtures::waitUntil;

namespace {

QList<InlineNode> inlinesOf(const QString &markdown)
{
    const QList<BlockNode> blocks = parseMarkdown(markdown);
    if (blocks.isEmpty())
        return {};
    const auto *paragraph = blocks.first().as<BlockNode::Paragraph>();
    return paragraph ? paragraph->content : QList<InlineNode>();
}

QList<std::pair<const RemoteImageItem *, QPointF>> imagesOf(const MarkdownView &view)
{
    return placedOfType<RemoteImageItem>(*view.documentLayout());
}

bool allImagesShown(const MarkdownView &view, qsizetype count)
{
    if (!view.documentLayout())
        return false;
    const auto images = imagesOf(view);
    return images.size() == count
           && std::all_of(images.begin(), images.end(),
                          [](const auto &image) { return !image.first->size().isEmpty(); });
}

} // namespace

TEST(ImageFlow, whichParagraphsAreRowsOfImages)
{
    const struct
    {
        const char *markdown;
        bool isFlow;
    } cases[] = {
        {"![a](a.png)\n![b](b.png)", true},
        {"![a](a.png) ![b](b.png)", true}, // badges written with blanks between them
        {"[![a](a.png)](https://a.example) [![b](b.png)](https://b.example)", true},
        {"![a](a.png)\\\n![b](b.png)", true},
        {"![a](a.png) and ![b](b.png)", false},
        {"![a](a.png) `code`", false},
        {"*![a](a.png)*", false},
        {"[![a](a.png) ![b](b.png)](https://a.example)", false},
    };
    for (const auto &row : cases) {
        EXPECT_EQ(imageFlow(inlinesOf(QString::fromUtf8(row.markdown))).has_value(), row.isFlow)
            << row.markdown;
    }
    EXPECT_FALSE(imageView(inlinesOf(QStringLiteral("![a](a.png) ![b](b.png)"))).has_value());
    EXPECT_FALSE(imageView(inlinesOf(QStringLiteral("text"))).has_value());
    EXPECT_TRUE(imageView(inlinesOf(QStringLiteral("[![a](a.png)](https://a.example)")))
                    .has_value());
}

TEST(FlowLayout, wrapsItemsIntoRows)
{
    const QList<QSizeF> sizes{{100, 10}, {100, 20}, {100, 5}};
    const QList<FlowLayoutItem::Row> rows = FlowLayoutItem::rows(sizes, 250, 4);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].items, (QList<qsizetype>{0, 1}));
    EXPECT_EQ(rows[0].size, QSizeF(204, 20));
    EXPECT_EQ(rows[1].items, (QList<qsizetype>{2}));
    EXPECT_EQ(rows[1].size, QSizeF(100, 5));
    // Exactly filling the width still fits; an item wider than the width sits alone.
    EXPECT_EQ(FlowLayoutItem::rows({{100, 1}, {100, 1}}, 204, 4).size(), 1);
    const auto wide = FlowLayoutItem::rows({{10, 1}, {500, 1}, {10, 1}}, 100, 4);
    ASSERT_EQ(wide.size(), 3);
    EXPECT_EQ(wide[1].size.width(), 500);
    EXPECT_TRUE(FlowLayoutItem::rows({}, 100, 4).isEmpty());
}

TEST(ResizeToFit, shrinksToTheWidthKeepingProportionsAndNeverGrows)
{
    EXPECT_EQ(resizedToFit({800, 600}, 400), QSizeF(400, 300));
    EXPECT_EQ(resizedToFit({800, 600}, 1000), QSizeF(800, 600));
    EXPECT_EQ(resizedToFit({0, 0}, 1000), QSizeF(0, 0));
}

TEST(ImageView, imagesTakeNoRoomUntilLoadedAndResolveAgainstTheImageBase)
{
    ManualRemoteImageLoader loader;
    MarkdownView view;
    view.resize(500, 400);
    view.show();
    view.setRemoteImageLoader(&loader);
    const QUrl base(QStringLiteral("https://example.com/docs/"));
    view.setContent(MarkdownContent(QStringLiteral("![logo](img/logo.png)\n\nafter")), base);
    ASSERT_EQ(loader.calls.size(), 1);
    EXPECT_EQ(loader.calls[0].url, QUrl(QStringLiteral("https://example.com/docs/img/logo.png")));
    EXPECT_EQ(loader.calls[0].imageBaseURL, base);
    const auto image = imagesOf(view);
    ASSERT_EQ(image.size(), 1);
    EXPECT_TRUE(image[0].first->size().isEmpty());
    const qreal textBefore = placedOfType<TextItem>(*view.documentLayout())[0].second.y();

    loader.complete(0, QImage(QSize(800, 100), QImage::Format_ARGB32));
    ASSERT_TRUE(waitUntil([&] { return allImagesShown(view, 1); }));
    // Shrunk to the view's width, and the text below moved down.
    EXPECT_LE(imagesOf(view)[0].first->size().width(), 500);
    EXPECT_GT(placedOfType<TextItem>(*view.documentLayout())[0].second.y(), textBefore + 40);

    // A failed image takes no room either.
    view.setContent(MarkdownContent(QStringLiteral("![gone](gone.png)")), base);
    loader.complete(1, RemoteImageError{RemoteImageErrorKind::badServerResponse, {}});
    tolvaran::fixtures::runQueuedWork();
    EXPECT_TRUE(imagesOf(view)[0].first->size().isEmpty());
}

TEST(ImageView, aLinkedImageOpensItsLinkAndIsNamedByItsAltText)
{
    ManualRemoteImageLoader loader;
    MarkdownView view;
    view.resize(500, 400);
    view.setRemoteImageLoader(&loader);
    QList<QUrl> opened;
    view.setLinkOpener([&](const QUrl &url) { opened.append(url); });
    view.setContent(MarkdownContent(QStringLiteral("[![build status](b.svg)](ci/status)")),
                    QUrl(QStringLiteral("https://example.com/repo/")));
    view.show();
    loader.complete(0, QImage(QSize(90, 20), QImage::Format_ARGB32));
    ASSERT_TRUE(waitUntil([&] { return allImagesShown(view, 1); }));
    const QPoint inside = imagesOf(view)[0].second.toPoint() + QPoint(5, 5);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, inside);
    EXPECT_EQ(opened, (QList<QUrl>{QUrl(QStringLiteral("https://example.com/repo/ci/status"))}));
    QAccessibleInterface *paragraph = QAccessible::queryAccessibleInterface(&view)->child(0);
    ASSERT_EQ(paragraph->childCount(), 1);
    EXPECT_EQ(paragraph->child(0)->text(QAccessible::Name), QStringLiteral("build status"));
}

TEST(ImageView, aBadgeRowLoadsThroughTheSharedLoaderAndStandsSideBySide)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setResponse(QStringLiteral("/a.png"),
                       LocalHttpServer::Response::ok(pngImage({60, 20}), "image/png"));
    server.setResponse(QStringLiteral("/b.svg"),
                       LocalHttpServer::Response::ok(tolvaran::fixtures::svgImage({80, 20}),
                                                     "image/svg+xml"));
    const QString markdown =
        QStringLiteral("[![a](%1)](https://example.com/a) [![b](%2)](https://example.com/b)")
            .arg(server.url(QStringLiteral("/a.png")).toString(),
                 server.url(QStringLiteral("/b.svg")).toString());
    MarkdownView view;
    view.resize(500, 300);
    view.show();
    view.setMarkdown(markdown);
    ASSERT_TRUE(waitUntil([&] { return allImagesShown(view, 2); }));
    const auto images = imagesOf(view);
    EXPECT_EQ(images[0].first->size(), QSizeF(60, 20));
    EXPECT_EQ(images[1].first->size(), QSizeF(80, 20));
    EXPECT_EQ(images[0].second.y(), images[1].second.y());
    EXPECT_GT(images[1].second.x(), images[0].second.x() + 60);

    // A second view of the same images finds them in the shared cache.
    MarkdownView second;
    second.resize(500, 300);
    second.show();
    second.setMarkdown(markdown);
    ASSERT_TRUE(waitUntil([&] { return allImagesShown(second, 2); }));
    EXPECT_EQ(server.requestCount(QStringLiteral("/a.png")), 1);
}

TEST(ImageView, fileImagesLoadOnlyFromInsideTheImageBaseFolder)
{
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("docs")));
    for (const QString &name :
         {QStringLiteral("docs/inside.png"), QStringLiteral("outside.png")}) {
        QFile file(root.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(pngImage({30, 30}));
    }
    MarkdownView view;
    view.resize(500, 300);
    view.show();
    const QUrl folder = QUrl::fromLocalFile(root.filePath(QStringLiteral("docs")) + u'/');
    view.setMarkdown(QStringLiteral("![in](inside.png)\n\n![out](../outside.png)"), folder);
    ASSERT_TRUE(waitUntil([&] {
        return view.documentLayout() && !imagesOf(view).isEmpty()
               && !imagesOf(view)[0].first->size().isEmpty();
    }));
    tolvaran::fixtures::runQueuedWork(); // the layout the first image asked for included
    const auto images = imagesOf(view);
    ASSERT_EQ(images.size(), 2);
    EXPECT_EQ(images[0].first->size(), QSizeF(30, 30));
    EXPECT_TRUE(images[1].first->size().isEmpty());

    // A folder named without its final slash is the folder all the same.
    const QUrl bare = QUrl::fromLocalFile(root.filePath(QStringLiteral("docs")));
    EXPECT_EQ(resolvedImageSource(QStringLiteral("inside.png"), bare),
              QUrl::fromLocalFile(root.filePath(QStringLiteral("docs/inside.png"))));
    EXPECT_EQ(resolvedImageSource(QStringLiteral("https://example.com/a.png"), bare),
              QUrl(QStringLiteral("https://example.com/a.png")));
    EXPECT_EQ(resolvedImageSource(QStringLiteral("a.png"), std::nullopt),
              QUrl(QStringLiteral("a.png")));
}

TEST(InlineImageProvider, defaultLoadsThroughTheSharedLoaderAndAssetsReadAFolder)
{
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    server.setResponse(QStringLiteral("/i.png"),
                       LocalHttpServer::Response::ok(pngImage({12, 8}), "image/png"));
    QObject context;
    QList<QImage> received;
    for (int load = 0; load < 2; ++load) {
        DefaultInlineImageProvider().image(server.url(QStringLiteral("/i.png")),
                                           QStringLiteral("icon"), {}, &context,
                                           [&](const std::optional<QImage> &image) {
                                               received.append(image.value_or(QImage()));
                                           });
        ASSERT_TRUE(waitUntil([&] { return received.size() == load + 1; }));
    }
    EXPECT_EQ(received[0].size(), QSize(12, 8));
    // Both are the pixels the shared loader's cache holds, not a copy each.
    EXPECT_EQ(received[1].constBits(), received[0].constBits());

    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("logo.png")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(pngImage({5, 5}));
    file.close();
    const AssetInlineImageProvider assets({}, folder.path());
    std::optional<QImage> asset;
    assets.image(QUrl(QStringLiteral("https://example.com/any/logo.png")), {}, {}, nullptr,
                 [&](const std::optional<QImage> &image) { asset = image; });
    ASSERT_TRUE(asset.has_value());
    EXPECT_EQ(asset->size(), QSize(5, 5));
    assets.image(QUrl(QStringLiteral("missing.png")), {}, {}, nullptr,
                 [&](const std::optional<QImage> &image) { asset = image; });
    EXPECT_FALSE(asset.has_value());
}

TEST(ImageView, aThemeThatCentresImagesKeepsABadgeRowOnOneRow)
{
    ManualRemoteImageLoader loader;
    MarkdownView view;
    view.resize(600, 300);
    view.show();
    view.setRemoteImageLoader(&loader);
    view.setTheme(Theme::documentation());
    view.setContent(MarkdownContent(QStringLiteral("![a](https://example.com/a.svg) "
                                                   "![b](https://example.com/b.svg)")));
    ASSERT_EQ(loader.calls.size(), 2);
    loader.complete(0, QImage(QSize(80, 20), QImage::Format_ARGB32));
    loader.complete(1, QImage(QSize(90, 20), QImage::Format_ARGB32));
    ASSERT_TRUE(waitUntil([&] { return allImagesShown(view, 2); }));
    const auto images = imagesOf(view);
    EXPECT_EQ(images[0].second.y(), images[1].second.y());
    // The row as a whole is centred.
    const qreal left = images[0].second.x();
    const qreal right = images[1].second.x() + 90;
    EXPECT_NEAR(left, view.viewport()->width() - right, 2);
}

TEST(FlowLayout, imagesOfARowShareItsBottomEdge)
{
    std::vector<BlockItemPointer> items;
    items.push_back(std::make_unique<ResizeToFitItem>(QImage(), QSizeF(50, 40), QString()));
    items.push_back(std::make_unique<ResizeToFitItem>(QImage(), QSizeF(50, 10), QString()));
    items.push_back(FlowLayoutItem::lineBreak());
    items.push_back(std::make_unique<ResizeToFitItem>(QImage(), QSizeF(500, 100), QString()));
    FlowLayoutItem flow(std::move(items), 4, 6);
    const QSizeF size = flow.layout(200);
    const auto &children = flow.children();
    EXPECT_EQ(children[0].position, QPointF(0, 0));
    EXPECT_EQ(children[1].position, QPointF(54, 30));
    // The break takes a row of its own; the wide image after it is shrunk to the width.
    EXPECT_EQ(children[3].item->size(), QSizeF(200, 40));
    EXPECT_EQ(children[3].position.y(), 40 + 6 + 0 + 6);
    EXPECT_EQ(size, QSizeF(200, 40 + 6 + 0 + 6 + 40));
}

TEST(ImageView, assetImagesComeFromAFolderByTheirFileName)
{
    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("logo.png")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(pngImage({40, 10}));
    file.close();
    MarkdownView view;
    view.resize(500, 300);
    view.show();
    view.setImageProvider(std::make_shared<AssetImageProvider>(nullptr, folder.path()));
    view.setContent(MarkdownContent(QStringLiteral("![logo](https://example.com/x/logo.png)\n\n"
                                                   "![none](https://example.com/none.png)")));
    const auto images = placedOfType<ResizeToFitItem>(*view.documentLayout());
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(images[0].first->size(), QSizeF(40, 10));
    EXPECT_TRUE(imagesOf(view).isEmpty()); // nothing went to the network
}

// The documentation theme centres images across the width they are offered; in a table cell
// that must not make the image's column take the table's spare width.
TEST(ImageView, anImageInATableCellKeepsItsColumnAtItsNaturalWidth)
{
    ManualRemoteImageLoader loader;
    MarkdownView view;
    view.resize(600, 300);
    view.show();
    view.setRemoteImageLoader(&loader);
    view.setTheme(Theme::documentation());
    view.setContent(MarkdownContent(
        QStringLiteral("| logo | name |\n|---|---|\n| ![a](https://example.com/a.png) | b |")));
    ASSERT_EQ(loader.calls.size(), 1);
    loader.complete(0, QImage(QSize(40, 20), QImage::Format_ARGB32));
    ASSERT_TRUE(waitUntil([&] { return allImagesShown(view, 1); }));
    const auto grids = placedOfType<TableGridItem>(*view.documentLayout());
    ASSERT_EQ(grids.size(), 1);
    const TableBounds &bounds = grids.first().first->tableBounds();
    ASSERT_EQ(bounds.columns.size(), 2);
    EXPECT_LT(bounds.columns[0].width, 100);
    EXPECT_LT(bounds.columns[0].width + bounds.columns[1].width, 300);
}
