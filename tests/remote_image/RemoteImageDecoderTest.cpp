#include "LoaderWorld.h"

#include "remote_image/RemoteImageDecoder.h"
#include "support/markdown/TestImages.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <optional>
#include <thread>

namespace tolvaran::markdown {
namespace {

using Kind = RemoteImageErrorKind;

QByteArray svgWith(QSize size, const QByteArray &content)
{
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" "
                          "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"%1\" "
                          "height=\"%2\">")
               .arg(size.width())
               .arg(size.height())
               .toUtf8()
           + content + "</svg>";
}

QByteArray svgImageElement(const QByteArray &href)
{
    return "<image x=\"0\" y=\"0\" width=\"10\" height=\"10\" xlink:href=\"" + href + "\"/>";
}

QByteArray dataUrl(const QByteArray &type, const QByteArray &bytes)
{
    return "data:" + type + ";base64," + bytes.toBase64();
}

TEST(RemoteImageDecoder, decodesImagesAndRefusesTheRest)
{
    const QSize budgetSide(4096, 4096);
    const QSize large(2048, 2048);
    // A comment of 20 MB: text past the limit once inflated, a few kilobytes compressed.
    const QByteArray inflatesPastTheLimit =
        fixtures::gzipped(svgWith({10, 10}, "<!--" + QByteArray(20 * 1024 * 1024, ' ') + "-->"));
    const struct
    {
        const char *name;
        QByteArray bytes;
        bool needsSvg;
        std::optional<Kind> error;
        QSize size;
    } rows[] = {
        {"png", fixtures::pngImage({30, 10}), false, {}, {30, 10}},
        {"png at 16 bits a channel", fixtures::pngOfDrawing({64, 32}, 16, "deep"), false, {},
         {64, 32}},
        {"png at 16 bits a channel cut short",
         fixtures::pngOfDrawing({64, 32}, 16, "deep").left(200), false,
         Kind::cannotDecodeContentData, {}},
        {"svg", fixtures::svgImage({90, 20}), true, {}, {90, 20}},
        {"empty", {}, false, Kind::cannotDecodeContentData, {}},
        {"html", "<!DOCTYPE html><html><body>Not here</body></html>", false,
         Kind::cannotDecodeContentData, {}},
        {"png cut short", fixtures::pngImage({30, 10}).left(20), false,
         Kind::cannotDecodeContentData, {}},
        {"png declaring 100000 x 100000", fixtures::pngDeclaringSize({100000, 100000}), false,
         Kind::imageTooLarge, {}},
        {"png declaring one row over the budget",
         fixtures::pngDeclaringSize(budgetSide + QSize(0, 1)), false, Kind::imageTooLarge, {}},
        {"svg declaring 100000 x 100000", fixtures::svgImage({100000, 100000}), true,
         Kind::imageTooLarge, {}},
        {"svg of a few circles over four million pixels",
         fixtures::svgOfCoveringCircles(large, 3), true, {}, large},
        {"svg of 20,000 circles over four million pixels",
         fixtures::svgOfCoveringCircles(large, 20000), true, Kind::imageTooComplex, {}},
        {"svg of 2,000 circles over a small picture",
         fixtures::svgOfCoveringCircles({64, 64}, 2000), true, {}, {64, 64}},
        {"thick dashed circle over a million pixels",
         svgWith({1024, 1024}, "<circle cx=\"512\" cy=\"512\" r=\"400\" fill=\"none\" "
                               "stroke=\"red\" stroke-width=\"400\" "
                               "stroke-dasharray=\"2 2\"/>"),
         true, Kind::imageTooComplex, {}},
        {"gzip-compressed svg", fixtures::gzipped(fixtures::svgImage({40, 30})), true, {},
         {40, 30}},
        {"animated svg",
         svgWith({30, 10}, "<rect width=\"10\" height=\"10\" fill=\"#00f\"><animate "
                           "attributeName=\"x\" from=\"0\" to=\"20\" dur=\"1s\" "
                           "repeatCount=\"indefinite\"/></rect>"),
         true, {}, {30, 10}},
        // As drawing programs write them: the namespaces in entities of the document type.
        {"svg with entities",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
         "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\" [\n"
         "<!ENTITY ns_svg \"http://www.w3.org/2000/svg\">\n"
         "<!ENTITY ns_xlink \"http://www.w3.org/1999/xlink\">\n]>\n"
         "<svg xmlns=\"&ns_svg;\" xmlns:xlink=\"&ns_xlink;\" width=\"24\" height=\"12\">"
         "<rect width=\"24\" height=\"12\" fill=\"#0a0\"/>"
         + svgImageElement(dataUrl("image/png", fixtures::pngImage({2, 2}))) + "</svg>",
         true, {}, {24, 12}},
        {"gzip-compressed svg inflating past the limit", inflatesPastTheLimit, true,
         Kind::imageTooComplex, {}},
        {"svg embedding a png", svgWith({10, 10}, svgImageElement(dataUrl(
                                                      "image/png", fixtures::pngImage({4, 4})))),
         true, {}, {10, 10}},
        {"svg embedding a png bomb",
         svgWith({10, 10}, svgImageElement(dataUrl(
                               "image/png", fixtures::pngDeclaringSize({100000, 100000})))),
         true, Kind::imageTooLarge, {}},
        {"svg embedding an svg",
         svgWith({10, 10}, svgImageElement(dataUrl("image/svg+xml",
                                                   fixtures::svgImage({10, 10})))),
         true, Kind::imageTooComplex, {}},
        {"svg naming a file", svgWith({10, 10}, svgImageElement("/usr/share/pixmaps/a.png")),
         true, Kind::urlRefused, {}},
        {"svg naming a web address",
         svgWith({10, 10}, svgImageElement("https://example.com/a.png")), true,
         Kind::urlRefused, {}},
    };
    const RemoteImageDecoder decoder;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        if (row.needsSvg && !svgSupported()) {
            std::cout << "Skipping " << row.name << ": Qt's SVG image plug-in is not installed\n";
            continue;
        }
        const RemoteImageResult result = decoder.decode(row.bytes);
        EXPECT_EQ(result.succeeded(), !row.error);
        if (row.error) {
            EXPECT_EQ(result.error().kind(), *row.error);
        } else {
            EXPECT_EQ(result.image().size(), row.size);
            // Kept at 4 bytes a pixel whatever the file's depth.
            EXPECT_LE(result.image().depth(), 32);
        }
    }
}

TEST(RemoteImageDecoder, pngOfSixteenBitsReadsAsQtsOwnReaderReadsIt)
{
    QImage gradient(64, 48, QImage::Format_RGBA64);
    for (int y = 0; y < gradient.height(); ++y) {
        for (int x = 0; x < gradient.width(); ++x)
            gradient.setPixelColor(x, y, QColor::fromRgba64(x * 1000, y * 1300, 40000,
                                                            65535 - x * 500));
    }
    const struct
    {
        const char *name;
        QImage::Format format;
    } rows[] = {{"with alpha", QImage::Format_RGBA64},
                {"opaque", QImage::Format_RGBX64},
                {"grey", QImage::Format_Grayscale16}};
    const RemoteImageDecoder decoder;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(gradient.convertToFormat(row.format).save(&buffer, "PNG"));
        const QImage expected = QImage::fromData(bytes).convertToFormat(QImage::Format_ARGB32);
        const RemoteImageResult result = decoder.decode(bytes);
        ASSERT_TRUE(result.succeeded());
        const QImage decoded = result.image().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(decoded.size(), expected.size());
        int largestDifference = 0;
        for (int y = 0; y < expected.height(); ++y) {
            for (int x = 0; x < expected.width(); ++x) {
                const QRgb a = expected.pixel(x, y);
                const QRgb b = decoded.pixel(x, y);
                largestDifference = std::max({largestDifference, std::abs(qRed(a) - qRed(b)),
                                              std::abs(qGreen(a) - qGreen(b)),
                                              std::abs(qBlue(a) - qBlue(b)),
                                              std::abs(qAlpha(a) - qAlpha(b))});
            }
        }
        EXPECT_LE(largestDifference, 1);
    }
}

TEST(RemoteImageDecoder, svgDrawsAsQtsOwnReaderDraws)
{
    if (!svgSupported())
        GTEST_SKIP() << "Qt's SVG image plug-in (libqt6svg6) is not installed";
    // Clipping, transforms, gradients, opacity, dashes, text and an embedded picture: what
    // passes through our painting on its way to the pixels.
    const QByteArray svg = svgWith(
        {120, 90},
        "<defs><linearGradient id=\"g\" x1=\"0\" x2=\"1\"><stop offset=\"0\" "
        "stop-color=\"#0a0\"/><stop offset=\"1\" stop-color=\"#00f\" stop-opacity=\"0.4\"/>"
        "</linearGradient></defs>"
        "<rect width=\"120\" height=\"90\" fill=\"url(#g)\"/>"
        "<g transform=\"translate(10 8) rotate(12)\" opacity=\"0.7\">"
        "<circle cx=\"30\" cy=\"30\" r=\"22\" fill=\"#c00\" stroke=\"#000\" "
        "stroke-width=\"3\" stroke-dasharray=\"4 2\"/>"
        "<path d=\"M60 10 L100 40 Q80 70 60 50 Z\" fill=\"#fc0\" fill-opacity=\"0.5\"/></g>"
        "<polyline points=\"0,80 30,60 60,85 90,55\" fill=\"none\" stroke=\"#333\" "
        "stroke-width=\"2\"/>"
        "<text x=\"8\" y=\"84\" font-size=\"12\" fill=\"#fff\">Qt</text>"
        + svgImageElement(dataUrl("image/png", fixtures::pngImage({4, 4}, Qt::cyan))));
    const QImage ours = RemoteImageDecoder().decode(svg).image();
    const QImage qts = QImage::fromData(svg, "svg");
    ASSERT_FALSE(qts.isNull());
    EXPECT_EQ(ours.convertToFormat(QImage::Format_ARGB32),
              qts.convertToFormat(QImage::Format_ARGB32));
}

TEST(RemoteImageDecoder, stoppedDrawingIsAbandoned)
{
    if (!svgSupported())
        GTEST_SKIP() << "Qt's SVG image plug-in (libqt6svg6) is not installed";
    RemoteImageDecodeLimits unbounded;
    unbounded.drawingBudget = std::numeric_limits<qint64>::max();
    const RemoteImageDecoder decoder(unbounded);
    // About a minute of drawing here.
    const QByteArray costly = fixtures::svgOfCoveringCircles({2048, 2048}, 20000);
    std::stop_source stop;
    std::optional<RemoteImageResult> result;
    std::thread worker([&] { result = decoder.decode(costly, stop.get_token()); });
    // The stop is meant to come while the drawing runs; the decoder shows nothing of its
    // progress, so this waits a bounded time (a stop that came earlier ends it the same way).
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop.request_stop();
    worker.join();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->error().kind(), Kind::abandoned);
}

} // namespace
} // namespace tolvaran::markdown
