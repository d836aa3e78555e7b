#include "LoaderWorld.h"

#include "remote_image/RemoteImageDecoder.h"
#include "remote_image/formats/PngDataBounds.h"
#include "remote_image/formats/StoppableDevice.h"
#include "support/markdown/SvgDrawings.h"
#include "support/markdown/TestImages.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtEndian>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <limits>
#include <optional>
#include <thread>

namespace {

// The bytes zlib inflated on this thread, for whichever caller (libpng and Qt's readers
// included), and those Qt's readers read: the work a decode does, which a test can count where
// its time would depend on the machine.
thread_local qint64 inflatedOnThisThread = 0;
thread_local qint64 readOnThisThread = 0;
// A stop to request once this thread has inflated or read more than `stopPast` bytes.
thread_local std::stop_source *stopOnThisThread = nullptr;
thread_local qint64 stopPast = 0;

void requestStopPastTheMark()
{
    if (stopOnThisThread && std::max(inflatedOnThisThread, readOnThisThread) > stopPast)
        stopOnThisThread->request_stop();
}

} // namespace

// Stands in for zlib's inflate for every caller in the program, the shared libraries too (the
// program's own definition comes first where they look for it), and hands each call on to
// zlib's, counting what it inflated.
extern "C" int inflate(z_streamp stream, int flush)
{
    using Inflate = int (*)(z_streamp, int);
    static const auto zlibInflate = reinterpret_cast<Inflate>(dlsym(RTLD_NEXT, "inflate"));
    const uInt room = stream->avail_out;
    const int result = zlibInflate(stream, flush);
    inflatedOnThisThread += room - stream->avail_out;
    requestStopPastTheMark();
    return result;
}

namespace {

// One file whose openings are counted, for any caller on any thread (Qt's included), and
// refused where opening or reading it would never end (a pipe, a device).
std::atomic<const char *> watchedPath = nullptr;
std::atomic<bool> watchedRefused = false;
std::atomic<int> watchedOpenings = 0;

bool refusedAsWatched(const char *path)
{
    const char *watched = watchedPath;
    if (!watched || !path || std::strcmp(path, watched) != 0)
        return false;
    ++watchedOpenings;
    return watchedRefused;
}

mode_t modeOf(int flags, va_list arguments)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? mode_t(va_arg(arguments, int)) : 0;
}

} // namespace

// Stand in for the C library's (Qt opens files through them), as inflate does, and hand each
// call on.
#define TOLVARAN_COUNTED_OPEN(name)                                                            \
    extern "C" int name(const char *path, int flags, ...)                                      \
    {                                                                                          \
        using Open = int (*)(const char *, int, ...);                                          \
        static const auto next = reinterpret_cast<Open>(dlsym(RTLD_NEXT, #name));              \
        va_list arguments;                                                                     \
        va_start(arguments, flags);                                                            \
        const mode_t mode = modeOf(flags, arguments);                                          \
        va_end(arguments);                                                                     \
        if (refusedAsWatched(path)) {                                                          \
            errno = EACCES;                                                                    \
            return -1;                                                                         \
        }                                                                                      \
        return next(path, flags, mode);                                                        \
    }
TOLVARAN_COUNTED_OPEN(open)
TOLVARAN_COUNTED_OPEN(open64)

namespace tolvaran::markdown {
namespace {

using Kind = RemoteImageErrorKind;

void countRead(qint64 bytes)
{
    readOnThisThread += bytes;
    requestStopPastTheMark();
}

// Counts the reads of Qt's readers on this thread until what it returns goes.
[[nodiscard]] auto countingReads()
{
    StoppableDeviceTesting::observeReads(countRead);
    return qScopeGuard([] { StoppableDeviceTesting::observeReads(nullptr); });
}

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

QByteArray pngPastItsRows(QSize size, qint64 extra)
{
    return fixtures::pngWithImageData(size, 8, fixtures::pngRowBytes(size, 8) + extra);
}

// A PNG without the end of its image data: its last 40 bytes, past the end chunk (12) and the
// last chunk's checksum (4).
QByteArray cutShort(const QByteArray &png)
{
    return png.left(png.size() - 40);
}

// `png` with its image data in two chunks, split halfway through.
QByteArray splitInTwo(const QByteArray &png)
{
    for (const fixtures::PngChunk &chunk : fixtures::pngChunks(png)) {
        if (chunk.type == "IDAT")
            return fixtures::pngWithImageDataRechunked(png, {chunk.length / 2});
    }
    return png;
}

// A BMP of Qt's with the height in its header negated: a picture stored from its top row
// down, as many programs write them.
QByteArray topDown(QByteArray bmp)
{
    qToLittleEndian<qint32>(-qFromLittleEndian<qint32>(bmp.constData() + 22), bmp.data() + 22);
    return bmp;
}

// Whether Qt's image-format plug-ins are installed (scripts/setup.sh installs them), which
// read WebP, and TIFF among the formats refused.
bool imageFormatPluginsInstalled()
{
    return QImageReader::supportedImageFormats().contains("webp");
}

bool needsImageFormatPlugins(QByteArrayView name)
{
    return name.contains("webp") || name.contains("tiff");
}

// The bitmap of an ICO file of Qt's with the size in its header changed to `declared`.
QByteArray bitmapDeclaring(QSize declared)
{
    QByteArray icon = fixtures::qtWritten({16, 16}, "ICO");
    QByteArray bitmap = icon.mid(qFromLittleEndian<quint32>(icon.constData() + 18));
    qToLittleEndian<qint32>(declared.width(), bitmap.data() + 4);
    qToLittleEndian<qint32>(declared.height() * 2, bitmap.data() + 8);
    return bitmap;
}

TEST(RemoteImageDecoder, decodesImagesAndRefusesTheRest)
{
    const QSize budgetSide(4096, 4096);
    const QSize large(2048, 2048);
    // The rows of a picture of 64 x 32, and 16 MiB more (16 KB of file).
    const qint64 rowsAndMore = fixtures::pngRowBytes({64, 32}, 8) + (qint64(1) << 24);
    // The header of a TIFF file, which Qt's plug-ins read.
    const QByteArray tiff("II*\0\x08\0\0\0\0\0\0\0\0\0", 14);
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
        {"png cut short in its image data", cutShort(fixtures::pngOfDrawing({64, 32}, 8, "cut")),
         false, Kind::cannotDecodeContentData, {}},
        {"interlaced png cut short in its last pass",
         cutShort(fixtures::pngOfSamples({37, 23}, fixtures::pngRgba, 8, false, true)), false,
         Kind::cannotDecodeContentData, {}},
        // Whole files whose image data ends halfway down the picture.
        {"png whose data ends before its last row",
         fixtures::pngWithImageData({64, 32}, 8, fixtures::pngRowBytes({64, 32}, 8) / 2), false,
         Kind::cannotDecodeContentData, {}},
        {"png at 16 bits a channel whose data ends before its last row",
         fixtures::pngWithImageData({64, 32}, 16, fixtures::pngRowBytes({64, 32}, 16) / 2),
         false, Kind::cannotDecodeContentData, {}},
        // Nothing past the last row is read: the picture is whole where its rows come from
        // chunks whose checksums were read.
        {"png cut short in a chunk past its last row",
         cutShort(splitInTwo(fixtures::pngWithImageData({64, 32}, 8, rowsAndMore))), false, {},
         {64, 32}},
        {"png cut short in the chunk of its last row, past it",
         cutShort(fixtures::pngWithImageData({64, 32}, 8, rowsAndMore)), false,
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
         true, {}, {10, 10}},
        {"svg embedding an svg compressed",
         svgWith({10, 10}, svgImageElement(dataUrl("image/svg+xml", fixtures::gzipped(
                                                                        fixtures::svgImage(
                                                                            {10, 10}))))),
         true, {}, {10, 10}},
        {"svg embedding an svg embedding an svg",
         svgWith({10, 10}, svgImageElement(dataUrl(
                               "image/svg+xml",
                               svgWith({10, 10}, svgImageElement(dataUrl(
                                                     "image/svg+xml",
                                                     fixtures::svgImage({10, 10}))))))),
         true, Kind::imageTooComplex, {}},
        {"badge with an svg logo", fixtures::badgeWithSvgLogo(), true, {}, {104, 20}},
        {"svg naming a file", svgWith({10, 10}, svgImageElement("/usr/share/pixmaps/a.png")),
         true, Kind::urlRefused, {}},
        {"svg naming a web address",
         svgWith({10, 10}, svgImageElement("https://example.com/a.png")), true,
         Kind::urlRefused, {}},
        // Qt's renderer leaves out a data address that is not base64.
        {"svg embedding a percent-encoded svg",
         svgWith({10, 10}, svgImageElement("data:image/svg+xml,%3Csvg%20xmlns=%22http://"
                                           "www.w3.org/2000/svg%22/%3E")),
         true, {}, {10, 10}},
        // Qt's renderer reads an address that does not begin with "data" as a file's name.
        {"svg naming a file as DATA:",
         fixtures::svgEmbedding({fixtures::pngImage({4, 4})}, "DATA:image/png;base64,"), true,
         Kind::urlRefused, {}},
        {"svg embedding a jpeg, a gif, an icon and a png",
         fixtures::svgEmbedding({fixtures::progressiveJpeg({8, 8}), fixtures::gifImage({5, 5}),
                                 fixtures::qtWritten({16, 16}, "ICO"),
                                 fixtures::pngOfDrawing({32, 32}, 16, "embedded")}),
         true, {}, {10, 10}},
        // Each format decoded, as it is written.
        {"jpeg", fixtures::jpegOfDrawing({40, 30}, "jpeg"), false, {}, {40, 30}},
        {"progressive jpeg", fixtures::progressiveJpeg({40, 30}), false, {}, {40, 30}},
        {"gif", fixtures::gifImage({13, 7}), false, {}, {13, 7}},
        {"icon holding a bitmap", fixtures::qtWritten({16, 16}, "ICO"), false, {}, {16, 16}},
        {"icon holding a png",
         fixtures::iconHolding(fixtures::pngOfDrawing({48, 48}, 16, "icon"), {48, 48}), false,
         {}, {48, 48}},
        {"cursor holding a bitmap",
         fixtures::iconHolding(fixtures::qtWritten({32, 32}, "ICO"), {32, 32}, true), false, {},
         {32, 32}},
        {"bmp", fixtures::qtWritten({21, 13}, "BMP"), false, {}, {21, 13}},
        {"pbm", fixtures::qtWritten({21, 13}, "PBM"), false, {}, {21, 13}},
        {"pgm", fixtures::qtWritten({21, 13}, "PGM"), false, {}, {21, 13}},
        {"ppm", fixtures::qtWritten({21, 13}, "PPM"), false, {}, {21, 13}},
        {"xbm", fixtures::qtWritten({21, 13}, "XBM"), false, {}, {21, 13}},
        {"xpm", fixtures::qtWritten({21, 13}, "XPM"), false, {}, {21, 13}},
        // Formats that a machine's plug-ins may read, and that are not decoded here.
        {"tiff", tiff, false, Kind::cannotDecodeContentData, {}},
        {"tga",
         QByteArray("\0\0\x02\0\0\0\0\0\0\0\0\0\x02\0\x02\0\x18\x20", 18)
             + QByteArray(12, '\x7f'),
         false, Kind::cannotDecodeContentData, {}},
        {"svg embedding a tiff", fixtures::svgEmbedding({tiff}), true,
         Kind::cannotDecodeContentData, {}},
        {"gif whose frame is over the pixel limit",
         fixtures::gifImage({1, 1}).replace(QByteArray("\x01\0\x01\0\0\x02", 6),
                                             QByteArray("\xff\xff\xff\xff\0\x02", 6)),
         false, Kind::imageTooLarge, {}},
        // Qt's reader makes the bitmap at the directory's size, which is what it is charged.
        {"icon whose bitmap declares more than its directory",
         fixtures::iconHolding(bitmapDeclaring({2048, 2048}), {16, 16}), false, {}, {16, 16}},
        {"icon whose bitmap declares more than the pixel limit",
         fixtures::iconHolding(bitmapDeclaring({8192, 8192}), {16, 16}), false, {}, {16, 16}},
        // Sound pictures, and malformed ones, drawn as Qt's readers draw them.
        {"gif whose codes do not widen", fixtures::gifOfUnwidenedCodes({4, 4}), false, {},
         {4, 4}},
        {"top-down bmp", topDown(fixtures::qtWritten({21, 13}, "BMP")), false, {}, {21, 13}},
        {"arithmetic-coded jpeg", fixtures::arithmeticJpeg({40, 30}, false), false, {},
         {40, 30}},
        {"progressive arithmetic-coded jpeg", fixtures::arithmeticJpeg({40, 30}, true), false,
         {}, {40, 30}},
        {"webp", fixtures::webpImage({40, 30}, false), false, {}, {40, 30}},
        {"lossless webp", fixtures::webpImage({40, 30}, true), false, {}, {40, 30}},
        {"animated webp", fixtures::webpAnimation({40, 30}, {16, 8}), false, {}, {40, 30}},
        {"svg embedding a webp", fixtures::svgEmbedding({fixtures::webpImage({8, 8}, true)}),
         true, {}, {10, 10}},
        // Qt's reader draws the screen in its background alone: nothing of the file.
        {"gif of a 0 x 0 frame on a 60,960 x 32 screen",
         fixtures::gifOfFrame({60960, 32}, {}), false, Kind::cannotDecodeContentData, {}},
        {"gif whose frame lies off its screen", fixtures::gifOfFrame({10, 10}, {20, 0, 4, 4}),
         false, Kind::cannotDecodeContentData, {}},
    };
    const RemoteImageDecoder decoder;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        if (row.needsSvg && !svgSupported()) {
            std::cout << "Skipping " << row.name << ": Qt's SVG image plug-in is not installed\n";
            continue;
        }
        if (needsImageFormatPlugins(row.name) && !imageFormatPluginsInstalled()) {
            std::cout << "Skipping " << row.name << ": Qt's image-format plug-ins are not "
                                                    "installed\n";
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
    // A format that Qt's plug-ins read, and that is not decoded here, is named.
    if (imageFormatPluginsInstalled()) {
        EXPECT_EQ(decoder.decode(tiff).error().message(),
                  QStringLiteral("Images in the TIFF format are not shown."));
    }
}

TEST(RemoteImageDecoder, pngInflatesNoMoreThanItsRows)
{
    constexpr qint64 gibibyte = qint64(1) << 30;
    const auto pastTheRows = [](QSize size, int bitsPerChannel) {
        return fixtures::pngWithImageData(
            size, bitsPerChannel, fixtures::pngRowBytes(size, bitsPerChannel) + gibibyte);
    };
    const struct
    {
        const char *name;
        QSize size;
        int bitsPerChannel;
        QByteArray bytes;
    } rows[] = {
        {"256 x 4 at 8 bits, a gibibyte past its rows", {256, 4}, 8, pastTheRows({256, 4}, 8)},
        {"256 x 4 at 16 bits, a gibibyte past its rows", {256, 4}, 16,
         pastTheRows({256, 4}, 16)},
        {"1024 x 1024 at 8 bits, a gibibyte past its rows", {1024, 1024}, 8,
         pastTheRows({1024, 1024}, 8)},
        {"1024 x 1024 at 16 bits, a gibibyte past its rows", {1024, 1024}, 16,
         pastTheRows({1024, 1024}, 16)},
        {"256 x 4 after text inflating to a gibibyte", {256, 4}, 8,
         fixtures::pngWithCompressedText({256, 4}, gibibyte)},
    };
    const RemoteImageDecoder decoder;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const qint64 rowBytes = fixtures::pngRowBytes(row.size, row.bitsPerChannel);
        const qint64 inflatedBefore = inflatedOnThisThread;
        const RemoteImageResult result = decoder.decode(row.bytes);
        const qint64 inflated = inflatedOnThisThread - inflatedBefore;
        ASSERT_TRUE(result.succeeded());
        EXPECT_EQ(result.image().size(), row.size);
        // The rows (so the count sees libpng's inflating), and at most as much again: what
        // the picture declared.
        EXPECT_GE(inflated, rowBytes);
        EXPECT_LE(inflated, 2 * rowBytes);
    }
}

// Counts the openings of `path` until what it returns goes, refusing them where it is not a
// file.
[[nodiscard]] auto watchingOpenings(const QByteArray &path)
{
    watchedOpenings = 0;
    watchedRefused = !QFileInfo(QString::fromUtf8(path)).isFile();
    watchedPath = path.isEmpty() ? nullptr : path.constData();
    return qScopeGuard([] { watchedPath = nullptr; });
}

TEST(RemoteImageDecoder, hostilePicturesAreDrawnOrRefusedWithinTheirWork)
{
    const auto readsCounted = countingReads();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QByteArray styleSheet = QFile::encodeName(folder.filePath(QStringLiteral("red.css")));
    QFile css(QString::fromUtf8(styleSheet));
    ASSERT_TRUE(css.open(QIODevice::WriteOnly) && css.write("rect { fill: #f00 }") > 0);
    css.close();
    const QByteArray pipe = QFile::encodeName(folder.filePath(QStringLiteral("pipe")));
    ASSERT_EQ(mkfifo(pipe.constData(), 0600), 0);
    const QByteArray zeros = "/dev/zero";
    constexpr qint64 gibibyte = qint64(1) << 30;
    const QByteArray pngBomb = pngPastItsRows({256, 4}, gibibyte);
    const QByteArray iconBomb = fixtures::iconHolding(pngBomb, {256, 4});
    const qint64 pngRows = fixtures::pngRowBytes({256, 4}, 8);
    const QByteArray jpegBomb = fixtures::progressiveJpeg({1024, 1024}, 2000);
    const QByteArray gifBomb = fixtures::gifOfLongestStrings(1024 * 1024);
    const QByteArray sound = fixtures::progressiveJpeg({640, 480});
    const QByteArray frameOverScreen = fixtures::gifOfFrame({1, 1}, {0, 0, 4096, 4096});
    const QByteArray frameAtEdge = fixtures::gifOfFrame({0, 4096}, {4095, 0, 1, 1});
    // What inflating or reading one piece of a file takes, past what a picture needs.
    constexpr qint64 piece = 64 * 1024;
    // What checking the image data of an embedded PNG inflates: its rows and a little more.
    const qint64 pngChecked = pngRows + PngDataBounds::slackBytes + piece;
    const struct
    {
        const char *name;
        QByteArray bytes;
        std::optional<Kind> error;
        // The most that zlib may inflate, and that Qt's readers may read.
        qint64 inflated;
        qint64 read;
        // A file that the picture names and that is never opened: the picture is drawn as if
        // it named none (its rectangle black, not in the style sheet's red).
        QByteArray unopened = {};
        // Refused before any of it reaches Qt's renderer, from the work counted as it was read.
        bool refusedWhenPrepared = false;
    } rows[] = {
        // Refused from what was counted before decoding: Qt's reader reads none of it.
        {"progressive jpeg of 2,000 scans", jpegBomb, Kind::imageTooComplex, 0, 0},
        {"gif of a megabyte of the longest strings", gifBomb, Kind::imageTooComplex, 0, 0},
        {"icon holding a png of a gibibyte past its rows", iconBomb, {}, 2 * pngRows, 0},
        // Inside an SVG, where Qt's readers decode them and no stop reaches.
        {"svg embedding a png of a gibibyte past its rows", fixtures::svgEmbedding({pngBomb}),
         Kind::imageTooComplex, pngChecked, 0},
        // Qt's renderer decodes what follows the last "base64," whatever comes before it.
        {"svg embedding the png after xbase64,",
         fixtures::svgEmbedding({pngBomb}, "data:image/png,xbase64,"), Kind::imageTooComplex,
         pngChecked, 0},
        {"svg embedding the icon", fixtures::svgEmbedding({iconBomb}), Kind::imageTooComplex,
         pngChecked, 0},
        {"svg embedding the gif", fixtures::svgEmbedding({gifBomb}), Kind::imageTooComplex,
         0, 0},
        {"svg embedding the jpeg", fixtures::svgEmbedding({jpegBomb}), Kind::imageTooComplex,
         0, 0},
        // Each within the pixel limit on its own: Qt's reader goes over every pixel of a frame
        // larger than its screen, and draws on a picture that reaches the far edge of its frame
        // where the screen gives a side as 0.
        {"svg embedding two gifs of a 1 x 1 screen with a 4096 x 4096 frame",
         fixtures::svgEmbedding({frameOverScreen, frameOverScreen}), Kind::imageTooLarge, 0, 0},
        {"svg embedding two gifs of a 0 x 4096 screen with a frame at its far edge",
         fixtures::svgEmbedding({frameAtEdge, frameAtEdge}), Kind::imageTooLarge, 0, 0},
        {"svg embedding a png of eight gibibytes of text",
         fixtures::svgEmbedding({fixtures::pngWithCompressedText({4, 4}, 8 * gibibyte)}),
         Kind::imageTooComplex, PngDataBounds::textBudget + piece, 0},
        // A sound picture is read once.
        {"progressive jpeg", sound, {}, 0, sound.size()},
        // A WebP's canvas is read from its header: Qt's reader would take the whole file and
        // set aside the canvas to tell its size.
        {"webp declaring 100000 x 100000", fixtures::webpDeclaringCanvas({100000, 100000}),
         Kind::imageTooLarge, 0, 0},
        {"svg embedding two webps of 4096 x 4096",
         fixtures::svgEmbedding({fixtures::webpDeclaringCanvas({4096, 4096}),
                                 fixtures::webpDeclaringCanvas({4096, 4096})}),
         Kind::imageTooLarge, 0, 0},
        // Qt's renderer reads whatever file a style sheet instruction names, whole.
        {"svg whose style sheet is a file", fixtures::svgWithStyleSheet(styleSheet), {}, 0, 0,
         styleSheet},
        {"svg whose style sheet is a pipe", fixtures::svgWithStyleSheet(pipe), {}, 0, 0, pipe},
        {"svg whose style sheet is /dev/zero", fixtures::svgWithStyleSheet(zeros), {}, 0, 0,
         zeros},
        {"svg embedding an svg whose style sheet is a file",
         fixtures::svgEmbedding({fixtures::svgWithStyleSheet(styleSheet)},
                                "data:image/svg+xml;base64,"),
         {}, 0, 0, styleSheet},
        {"svg importing a style sheet",
         svgWith({10, 10}, "<style>@import url(\"" + styleSheet
                               + "\");</style><rect width=\"10\" height=\"10\"/>"),
         {}, 0, 0, styleSheet},
        {"svg with an external entity",
         "<!DOCTYPE svg [<!ENTITY sheet SYSTEM \"" + pipe + "\">]>"
             + svgWith({10, 10}, "<rect width=\"10\" height=\"10\"/><text>&sheet;</text>"),
         {}, 0, 0, pipe},
        // What Qt's renderer works on while it reads, before anything is drawn, certainly past
        // what decoding a picture may take (a text of 150,000 characters of ten scripts takes
        // Qt about a second, and is left to the decoding's limits).
        {"svg of a gradient of 100,000 stops", fixtures::svgOfGradientStops(100000),
         Kind::imageTooComplex, 0, 0, {}, true},
        {"svg of a text of a million characters of ten scripts",
         fixtures::svgOfTextInScripts(1000000, "text"), Kind::imageTooComplex, 0, 0, {}, true},
        {"svg of a textArea of a million characters of ten scripts",
         fixtures::svgOfTextInScripts(1000000, "textArea"), Kind::imageTooComplex, 0, 0, {},
         true},
        {"svg of 10,000 style rules for every one of 1,000 elements",
         svgWith({10, 10}, "<style>" + QByteArray("* { fill: #f00 } ").repeated(10000)
                               + "</style>"
                               + QByteArray("<rect width=\"2\" height=\"2\"/>").repeated(1000)),
         Kind::imageTooComplex, 0, 0, {}, true},
    };
    const RemoteImageDecoder decoder;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        if (row.bytes.contains("<svg") && !svgSupported())
            continue;
        if (needsImageFormatPlugins(row.name) && !imageFormatPluginsInstalled())
            continue;
        const auto openingsCounted = watchingOpenings(row.unopened);
        const qint64 inflatedBefore = inflatedOnThisThread;
        const qint64 readBefore = readOnThisThread;
        if (row.refusedWhenPrepared) {
            const auto prepared = decoder.prepare(row.bytes);
            const auto *error = std::get_if<RemoteImageError>(&prepared);
            EXPECT_TRUE(error && error->kind() == *row.error);
        }
        const RemoteImageResult result = decoder.decode(row.bytes);
        EXPECT_EQ(result.succeeded(), !row.error);
        if (row.error) {
            EXPECT_EQ(result.error().kind(), *row.error);
        }
        EXPECT_LE(inflatedOnThisThread - inflatedBefore, row.inflated);
        EXPECT_LE(readOnThisThread - readBefore, row.read);
        if (!row.unopened.isEmpty()) {
            EXPECT_EQ(watchedOpenings, 0);
            if (result.succeeded()) {
                EXPECT_EQ(result.image().pixelColor(5, 5), QColor(Qt::black));
            }
        }
    }
}

TEST(RemoteImageDecoder, decodingOfEachKindStopsAtItsNextReadWhenStopped)
{
    const auto readsCounted = countingReads();
    RemoteImageDecodeLimits unbounded;
    unbounded.scanBudget = std::numeric_limits<qint64>::max();
    // Pictures of a few megabytes, each read or inflated far past the mark before it is done.
    const QSize large(1024, 1024);
    const struct
    {
        const char *name;
        QByteArray bytes;
    } rows[] = {
        {"progressive jpeg of 2,000 scans", fixtures::progressiveJpeg(large, 2000)},
        {"jpeg", fixtures::jpegOfDrawing(large, "stopped", 100)},
        {"gif", fixtures::gifImage(large)},
        {"icon holding a bitmap", fixtures::qtWritten({256, 256}, "ICO")},
        {"icon holding a png", fixtures::iconHolding(fixtures::pngOfNoise(large, 1), large)},
        {"png", fixtures::pngOfNoise(large, 2)},
        {"bmp", fixtures::qtWritten(large, "BMP")},
        {"ppm", fixtures::qtWritten(large, "PPM")},
        {"xpm", fixtures::qtWritten(large, "XPM")},
        {"xbm", fixtures::qtWritten(large, "XBM")},
        {"svg embedding a png", fixtures::svgEmbedding({fixtures::pngOfNoise(large, 3)})},
    };
    const RemoteImageDecoder decoder(unbounded);
    constexpr qint64 mark = 16 * 1024;
    // A read or a piece inflated past the mark: the work after the stop was requested.
    constexpr qint64 piece = 64 * 1024;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        if (row.bytes.startsWith("<svg") && !svgSupported())
            continue;
        std::stop_source stop;
        stopOnThisThread = &stop;
        stopPast = mark;
        inflatedOnThisThread = 0;
        readOnThisThread = 0;
        const RemoteImageResult result = decoder.decode(row.bytes, stop.get_token());
        stopOnThisThread = nullptr;
        ASSERT_FALSE(result.succeeded());
        EXPECT_EQ(result.error().kind(), Kind::abandoned);
        EXPECT_LE(std::max(inflatedOnThisThread, readOnThisThread), mark + piece);
    }
}

QByteArray savedAsPng(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "PNG"));
    return bytes;
}

// The largest difference of any channel of any pixel, compared as they are drawn
// (premultiplied): taking the alpha back out of a faint pixel would lose its colour.
int largestDifference(const QImage &one, const QImage &other)
{
    const QImage a = one.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage b = other.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q)),
                                std::abs(qAlpha(p) - qAlpha(q))});
        }
    }
    return largest;
}

// The bits a pixel of `image` with 16-bit channels rounded to 8, as a screen shows them.
int depthAt8BitsAChannel(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_Grayscale16:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA64_Premultiplied:
        return image.depth() / 2;
    default:
        return image.depth();
    }
}

TEST(RemoteImageDecoder, pngReadsAsQtsOwnReaderReadsIt)
{
    QImage gradient(64, 48, QImage::Format_RGBA64);
    for (int y = 0; y < gradient.height(); ++y) {
        for (int x = 0; x < gradient.width(); ++x)
            gradient.setPixelColor(x, y, QColor::fromRgba64(x * 1000, y * 1300, 40000,
                                                            65535 - x * 500));
    }
    using fixtures::pngOfSamples;
    using fixtures::pngGrey, fixtures::pngRgb, fixtures::pngPalette, fixtures::pngGreyAlpha,
        fixtures::pngRgba;
    // Odd sides, so that the last byte of a packed row and the last interlace block are
    // partly filled.
    const QSize size(37, 23);
    const struct
    {
        const char *name;
        QByteArray bytes;
    } rows[] = {
        {"16 bits with alpha", savedAsPng(gradient.convertToFormat(QImage::Format_RGBA64))},
        {"16 bits opaque", savedAsPng(gradient.convertToFormat(QImage::Format_RGBX64))},
        {"16 bits grey", savedAsPng(gradient.convertToFormat(QImage::Format_Grayscale16))},
        {"palette", pngOfSamples(size, pngPalette, 8, false, false)},
        {"palette with tRNS", pngOfSamples(size, pngPalette, 8, true, false)},
        {"palette at 1 bit", pngOfSamples(size, pngPalette, 1, false, false)},
        {"palette at 1 bit with tRNS", pngOfSamples(size, pngPalette, 1, true, false)},
        {"palette at 2 bits with tRNS", pngOfSamples(size, pngPalette, 2, true, false)},
        {"palette at 4 bits", pngOfSamples(size, pngPalette, 4, false, false)},
        {"grey at 1 bit", pngOfSamples(size, pngGrey, 1, false, false)},
        {"grey at 1 bit with tRNS", pngOfSamples(size, pngGrey, 1, true, false)},
        {"grey at 2 bits", pngOfSamples(size, pngGrey, 2, false, false)},
        {"grey at 4 bits with tRNS", pngOfSamples(size, pngGrey, 4, true, false)},
        {"grey", pngOfSamples(size, pngGrey, 8, false, false)},
        {"grey with tRNS", pngOfSamples(size, pngGrey, 8, true, false)},
        {"grey at 16 bits", pngOfSamples(size, pngGrey, 16, false, false)},
        {"grey at 16 bits with tRNS", pngOfSamples(size, pngGrey, 16, true, false)},
        {"grey and alpha", pngOfSamples(size, pngGreyAlpha, 8, false, false)},
        {"grey and alpha at 16 bits", pngOfSamples(size, pngGreyAlpha, 16, false, false)},
        {"rgb", pngOfSamples(size, pngRgb, 8, false, false)},
        {"rgb with tRNS", pngOfSamples(size, pngRgb, 8, true, false)},
        {"rgba", pngOfSamples(size, pngRgba, 8, false, false)},
        {"interlaced rgba", pngOfSamples(size, pngRgba, 8, false, true)},
        {"interlaced rgb at 16 bits", pngOfSamples(size, pngRgb, 16, false, true)},
        {"interlaced palette at 4 bits with tRNS", pngOfSamples(size, pngPalette, 4, true, true)},
        {"interlaced grey at 1 bit", pngOfSamples(size, pngGrey, 1, false, true)},
        {"interlaced palette", pngOfSamples(size, pngPalette, 8, false, true)},
        {"interlaced grey with tRNS", pngOfSamples(size, pngGrey, 8, true, true)},
        {"interlaced grey at 16 bits", pngOfSamples(size, pngGrey, 16, false, true)},
        // Pictures too small for some of the passes, which then hold no rows at all.
        {"interlaced 1 x 1", pngOfSamples({1, 1}, pngRgba, 8, false, true)},
        {"interlaced 3 x 1", pngOfSamples({3, 1}, pngRgba, 8, false, true)},
        {"interlaced 1 x 6", pngOfSamples({1, 6}, pngGreyAlpha, 8, false, true)},
        {"interlaced 5 x 2", pngOfSamples({5, 2}, pngPalette, 2, true, true)},
    };
    const RemoteImageDecoder decoder;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QImage expected = QImage::fromData(row.bytes);
        ASSERT_FALSE(expected.isNull());
        const RemoteImageResult result = decoder.decode(row.bytes);
        ASSERT_TRUE(result.succeeded());
        ASSERT_EQ(result.image().size(), expected.size());
        EXPECT_EQ(result.image().hasAlphaChannel(), expected.hasAlphaChannel());
        EXPECT_EQ(result.image().depth(), depthAt8BitsAChannel(expected));
        EXPECT_LE(largestDifference(result.image(), expected), 1);
    }
}

// The picture shrunk to one pixel: the average of every pixel, premultiplied.
QImage averageOf(const QImage &image)
{
    const QImage premultiplied = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    double sums[4] = {};
    for (int y = 0; y < premultiplied.height(); ++y) {
        for (int x = 0; x < premultiplied.width(); ++x) {
            const QRgb pixel = premultiplied.pixel(x, y);
            sums[0] += qRed(pixel);
            sums[1] += qGreen(pixel);
            sums[2] += qBlue(pixel);
            sums[3] += qAlpha(pixel);
        }
    }
    const double count = double(premultiplied.width()) * premultiplied.height();
    const auto average = [&](int channel) { return int(std::lround(sums[channel] / count)); };
    QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
    pixel.setPixel(0, 0, qRgba(average(0), average(1), average(2), average(3)));
    return pixel;
}

TEST(RemoteImageDecoder, pngShrunkAsItIsReadLooksAsTheWholePictureShrunk)
{
    using fixtures::pngOfSamples;
    const struct
    {
        const char *name;
        QByteArray bytes;
    } pictures[] = {
        {"drawing at 8 bits", fixtures::pngOfDrawing({300, 200}, 8, "shrunk")},
        {"drawing at 16 bits", fixtures::pngOfDrawing({300, 200}, 16, "shrunk")},
        {"palette with tRNS", pngOfSamples({37, 23}, fixtures::pngPalette, 4, true, false)},
        {"grey", pngOfSamples({37, 23}, fixtures::pngGrey, 8, false, false)},
        {"grey at 16 bits", pngOfSamples({37, 23}, fixtures::pngGrey, 16, false, false)},
        {"grey at 2 bits with tRNS", pngOfSamples({37, 23}, fixtures::pngGrey, 2, true, false)},
        {"palette at 1 bit", pngOfSamples({37, 23}, fixtures::pngPalette, 1, false, false)},
        {"rgb", pngOfSamples({37, 23}, fixtures::pngRgb, 8, false, false)},
        // Read whole, then shrunk.
        {"interlaced", pngOfSamples({37, 23}, fixtures::pngRgba, 8, false, true)},
    };
    const QSize maximumSizes[] = {{150, 100}, {97, 1000}, {36, 23}, {10, 7}, {1, 1}};
    const RemoteImageDecoder decoder;
    for (const auto &picture : pictures) {
        const DecodedImage whole = decoder.decode(picture.bytes).decoded();
        for (const QSize maximumSize : maximumSizes) {
            SCOPED_TRACE(QStringLiteral("%1 within %2 x %3")
                             .arg(QLatin1String(picture.name))
                             .arg(maximumSize.width())
                             .arg(maximumSize.height())
                             .toStdString());
            const DecodedImage shrunk = RemoteImageDecoder::fitted(whole, maximumSize);
            const RemoteImageResult result = decoder.decode(picture.bytes, {}, maximumSize);
            ASSERT_TRUE(result.succeeded());
            ASSERT_EQ(result.image().size(), shrunk.image.size());
            EXPECT_EQ(result.decoded().pictureSize, whole.pictureSize);
            EXPECT_EQ(result.image().devicePixelRatio(), shrunk.image.devicePixelRatio());
            EXPECT_EQ(result.image().format(), shrunk.image.format());
            // Within a level or two of Qt's smooth shrinking, which strays from the average
            // where a picture shrinks to a pixel.
            const QImage expected = result.image().size() == QSize(1, 1)
                                        ? averageOf(whole.image)
                                        : shrunk.image;
            EXPECT_LE(largestDifference(result.image(), expected), 2);
        }
    }
}

TEST(RemoteImageDecoder, pngReadsTheSameInterlacedOrNot)
{
    using fixtures::pngOfSamples, fixtures::pngGrey, fixtures::pngPalette, fixtures::pngRgba;
    const QSize size(37, 23);
    // The transparent grey named with a bit above the picture's depth, which libpng's
    // expansion leaves out: the first pixel's grey, 0, is transparent.
    const auto greyAboveItsDepth = [size](int bitDepth) {
        return [size, bitDepth](bool interlaced) {
            QByteArray grey(2, '\0');
            qToBigEndian(quint16(1 << bitDepth), grey.data());
            return fixtures::pngWithChunkData(
                pngOfSamples(size, pngGrey, bitDepth, true, interlaced), "tRNS", grey);
        };
    };
    const auto samples = [size](int colourType, int bitDepth, bool transparentColour) {
        return [=](bool interlaced) {
            return pngOfSamples(size, colourType, bitDepth, transparentColour, interlaced);
        };
    };
    const struct
    {
        const char *name;
        std::function<QByteArray(bool interlaced)> make;
        bool firstPixelTransparent;
    } rows[] = {
        {"palette at 1 bit with tRNS", samples(pngPalette, 1, true), true},
        {"palette at 2 bits", samples(pngPalette, 2, false), false},
        {"palette with tRNS", samples(pngPalette, 8, true), true},
        {"grey at 1 bit", samples(pngGrey, 1, false), false},
        {"grey at 4 bits with tRNS", samples(pngGrey, 4, true), true},
        {"grey", samples(pngGrey, 8, false), false},
        {"grey at 16 bits", samples(pngGrey, 16, false), false},
        {"rgba at 16 bits", samples(pngRgba, 16, false), false},
        {"grey at 1 bit, transparent grey above its depth", greyAboveItsDepth(1), true},
        {"grey at 2 bits, transparent grey above its depth", greyAboveItsDepth(2), true},
        {"grey at 4 bits, transparent grey above its depth", greyAboveItsDepth(4), true},
        {"grey, transparent grey above its depth", greyAboveItsDepth(8), true},
    };
    const RemoteImageDecoder decoder;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const RemoteImageResult straight = decoder.decode(row.make(false));
        const RemoteImageResult interlaced = decoder.decode(row.make(true));
        ASSERT_TRUE(straight.succeeded());
        ASSERT_TRUE(interlaced.succeeded());
        EXPECT_EQ(straight.image().format(), interlaced.image().format());
        EXPECT_EQ(largestDifference(straight.image(), interlaced.image()), 0);
        EXPECT_EQ(qAlpha(straight.image().pixel(0, 0)) == 0, row.firstPixelTransparent);
    }
}

// The first chunk of image data of `png`.
fixtures::PngChunk imageDataOf(const QByteArray &png)
{
    const QList<fixtures::PngChunk> chunks = fixtures::pngChunks(png);
    const auto found = std::find_if(chunks.cbegin(), chunks.cend(),
                                    [](const fixtures::PngChunk &c) { return c.type == "IDAT"; });
    return found == chunks.cend() ? fixtures::PngChunk{} : *found;
}

QByteArray flipped(QByteArray bytes, qsizetype at, int bit)
{
    bytes[at] = char(bytes[at] ^ (1 << bit));
    return bytes;
}

TEST(RemoteImageDecoder, pngWithDamagedImageDataIsRefusedUnlessItDrawsAsItWas)
{
    using fixtures::pngOfSamples, fixtures::pngWithImageDataRechunked;
    const QSize size(97, 61);
    // Each with its image data in one chunk, as most small and medium pictures have it.
    const QByteArray files[] = {
        pngWithImageDataRechunked(fixtures::pngOfDrawing({160, 100}, 8, "flip")),
        pngWithImageDataRechunked(fixtures::pngOfDrawing({160, 100}, 16, "flip")),
        pngWithImageDataRechunked(fixtures::pngOfNoise({48, 32}, 7)),
        pngOfSamples(size, fixtures::pngPalette, 8, true, false),
        pngOfSamples(size, fixtures::pngPalette, 1, false, false),
        pngOfSamples(size, fixtures::pngGrey, 8, false, false),
        pngOfSamples(size, fixtures::pngGrey, 2, true, false),
        pngOfSamples(size, fixtures::pngRgba, 8, false, true),
    };
    constexpr int flipsAFile = 70;
    QRandomGenerator random(20261208);
    const RemoteImageDecoder decoder;
    for (const QByteArray &file : files) {
        const fixtures::PngChunk imageData = imageDataOf(file);
        const QImage intact = decoder.decode(file).image();
        ASSERT_FALSE(intact.isNull());
        for (int flip = 0; flip < flipsAFile; ++flip) {
            const qsizetype at = imageData.dataOffset + random.bounded(imageData.length);
            const QByteArray damaged = flipped(file, at, random.bounded(8));
            // Whole, and as a transfer ended early leaves it: without its end chunk and some
            // or all of its last chunk's checksum.
            const qsizetype lost = 13 + flip % 4;
            for (const QByteArray &bytes : {damaged, damaged.chopped(lost)}) {
                const RemoteImageResult result = decoder.decode(bytes);
                if (result.succeeded()) {
                    EXPECT_EQ(result.image(), intact)
                        << "drawn with byte " << at << " damaged, " << file.size() - bytes.size()
                        << " bytes lost";
                }
            }
        }
    }

    // Damage that the checksums of whole chunks of image data find, and damage after the last
    // row that leaves the picture as it was.
    const QByteArray file = pngOfSamples(size, fixtures::pngRgb, 8, false, false);
    // The rows in one chunk, and the end of the stream (its checksum) in one of its own.
    const QByteArray endApart =
        pngWithImageDataRechunked(file, {imageDataOf(file).length - 4});
    const qsizetype endChunk = fixtures::pngChunks(endApart).at(2).dataOffset;
    const struct
    {
        const char *name;
        QByteArray bytes;
        bool draws;
    } rows[] = {
        {"damaged in the chunk holding only the end of the image data",
         flipped(endApart, endChunk + 1, 4), false},
        {"cut short in the chunk holding only the end of the image data",
         endApart.left(endChunk + 2), true},
        {"without its end chunk", file.chopped(12), true},
        // The rows in a chunk whose checksum is lost: drawn where the stream's own checksum,
        // after them, is right.
        {"without its last chunk's checksum", file.chopped(16), true},
        {"without its last chunk's checksum, the stream's damaged",
         flipped(file.chopped(16), file.size() - 17, 0), false},
        {"with its end chunk's checksum damaged", flipped(file, file.size() - 1, 4), true},
        {"with bytes after its end chunk", file + "after the end", true},
    };
    const QImage intact = decoder.decode(file).image();
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const RemoteImageResult result = decoder.decode(row.bytes);
        ASSERT_EQ(result.succeeded(), row.draws);
        if (row.draws)
            EXPECT_EQ(result.image(), intact);
        else
            EXPECT_EQ(result.error().kind(), Kind::cannotDecodeContentData);
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
    const struct
    {
        const char *name;
        QByteArray bytes;
    } rows[] = {
        {"drawing", svg},
        {"badge with an svg logo", fixtures::badgeWithSvgLogo()},
        // Sound drawings, each holding much that costs Qt little.
        {"logo of 1,989 class rules over 3,695 paths", fixtures::svgOfClassRuleLogo(1989, 3695)},
        {"pretty-printed drawing of 16,000 paths", fixtures::svgPrettyPrinted(16000)},
        {"drawing with 300 KB of its editor's data", fixtures::svgWithEditorData(300000)},
        {"text in a font embedded in the style sheet", fixtures::svgWithEmbeddedFont(300000)},
        {"chart of 1,500 labels of several scripts", fixtures::svgOfMixedScriptLabels(1500)},
        {"chart of 1,000 Japanese labels", fixtures::svgOfJapaneseLabels(1000)},
        {"flame graph of 2,000 frames with a title each", fixtures::svgOfFlameGraph(2000)},
        {"@import in a comment and a string", fixtures::svgMentioningImport()},
        {"entity naming an entity", fixtures::svgOfEntityNamingEntity()},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QImage ours = RemoteImageDecoder().decode(row.bytes).image();
        const QImage qts = QImage::fromData(row.bytes, "svg");
        ASSERT_FALSE(qts.isNull());
        EXPECT_EQ(ours.convertToFormat(QImage::Format_ARGB32),
                  qts.convertToFormat(QImage::Format_ARGB32));
    }
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

TEST(RemoteImageDecoder, stoppedPngReadingIsAbandoned)
{
    std::stop_source stop;
    stop.request_stop();
    const RemoteImageResult result =
        RemoteImageDecoder().decode(fixtures::pngImage({30, 10}), stop.get_token());
    ASSERT_FALSE(result.succeeded());
    EXPECT_EQ(result.error().kind(), Kind::abandoned);
}

} // namespace
} // namespace tolvaran::markdown
