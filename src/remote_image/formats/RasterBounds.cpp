#include "remote_image/formats/RasterBounds.h"

#include "remote_image/formats/GifFrame.h"
#include "remote_image/formats/IconEntry.h"
#include "remote_image/formats/JpegScans.h"
#include "remote_image/formats/PngDataBounds.h"
#include "remote_image/formats/WebpCanvas.h"
#include "remote_image/png/PngReader.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace tolvaran::markdown {

namespace {

qint64 pixelsOf(QSize size)
{
    return qint64(size.width()) * size.height();
}

} // namespace

RasterBounds::RasterBounds(const RemoteImageDecodeLimits &limits, PictureReader reader,
                           std::stop_token stop)
    : m_limits(limits)
    , m_reader(reader)
    , m_stop(std::move(stop))
{
}

std::variant<RasterPlan, RemoteImageError>
RasterBounds::check(const QByteArray &bytes, const QByteArray &readerName, ImageFormat format)
{
    if (m_stop.stop_requested())
        return RemoteImageError(RemoteImageErrorKind::abandoned);
    switch (format) {
    case ImageFormat::png:
        return checkPng(bytes);
    case ImageFormat::jpeg:
        return checkJpeg(bytes);
    case ImageFormat::gif:
        return checkGif(bytes);
    case ImageFormat::icon:
        return checkIcon(bytes, readerName);
    case ImageFormat::webp:
        return checkWebp(bytes, readerName);
    case ImageFormat::bmp:
    case ImageFormat::anymap:
    case ImageFormat::xbm:
    case ImageFormat::xpm:
        return checkDeclared(bytes, readerName);
    case ImageFormat::svg:
        break;
    }
    // An SVG is drawn by SvgRasterizer, never as a raster picture.
    return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);
}

std::optional<RemoteImageError> RasterBounds::spendPixels(QSize size, qint64 worked)
{
    if (!size.isValid() || size.isEmpty())
        return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);
    m_pixels += std::max(pixelsOf(size), worked);
    if (m_pixels > m_limits.maximumPixels)
        return RemoteImageError(RemoteImageErrorKind::imageTooLarge);
    return std::nullopt;
}

std::variant<RasterPlan, RemoteImageError> RasterBounds::checkPng(const QByteArray &bytes)
{
    // Not Qt's reader, which inflates a PNG's text chunks to tell its size.
    const QSize declared = PngReader::declaredSize(bytes);
    if (const auto error = spendPixels(declared))
        return *error;
    if (m_reader == PictureReader::ours)
        return RasterPlan{{}, bytes, pixelsOf(declared)};
    if (const auto error = PngDataBounds::check(bytes, declared, m_textBytes, m_stop))
        return *error;
    return RasterPlan{"png", bytes, pixelsOf(declared)};
}

std::variant<RasterPlan, RemoteImageError> RasterBounds::checkJpeg(const QByteArray &bytes)
{
    const std::optional<JpegScans> jpeg = JpegScans::read(bytes);
    if (!jpeg)
        return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);
    if (const auto error = spendPixels(jpeg->frameSize))
        return *error;
    const qint64 pixels = pixelsOf(jpeg->frameSize);
    // Within the budget, scans times pixels stays far from overflowing.
    m_scanPixels += jpeg->scans * (pixels + JpegScans::scanSetUpPixels);
    if (m_scanPixels > m_limits.scanBudget)
        return RemoteImageError(RemoteImageErrorKind::imageTooComplex);
    const qint64 scans = std::max(jpeg->scans, JpegScans::typicalProgressiveScans);
    return RasterPlan{"jpeg", bytes, pixels * scans / JpegScans::typicalProgressiveScans};
}

std::variant<RasterPlan, RemoteImageError> RasterBounds::checkGif(const QByteArray &bytes)
{
    auto read = GifFrame::read(bytes, m_limits.maximumPixels);
    if (const auto *error = std::get_if<RemoteImageError>(&read))
        return *error;
    const GifFrame &frame = std::get<GifFrame>(read);
    // Qt's reader sets aside the picture it draws on, and goes over the frame's pixels also
    // where the frame is larger: a few kilobytes of codes fill a frame of 4096 x 4096 on a
    // screen of one pixel.
    const qint64 cost = std::max(pixelsOf(frame.canvasSize), pixelsOf(frame.frameSize));
    if (const auto error = spendPixels(frame.canvasSize, cost))
        return *error;
    // Codes past the frame's last pixel are written off it (GifFrame bounds them): work, but
    // no pixels kept.
    return RasterPlan{"gif", bytes, std::max(cost, frame.pixelsWritten)};
}

std::variant<RasterPlan, RemoteImageError> RasterBounds::checkIcon(const QByteArray &bytes,
                                                                   const QByteArray &readerName)
{
    const std::optional<IconEntry> entry = IconEntry::read(bytes);
    if (!entry)
        return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);
    if (entry->isPng()) {
        auto plan = checkPng(entry->png);
        // Inside an SVG, Qt's icon reader reads the whole icon file.
        auto *png = std::get_if<RasterPlan>(&plan);
        if (png && m_reader == PictureReader::qts) {
            png->readerName = readerName;
            png->bytes = bytes;
        }
        return plan;
    }
    // Qt's reader makes the bitmap at the directory's size (IconEntry), never more than the
    // size it declares (256 a side where the directory gives 0), however large the header.
    return checkDeclared(bytes, readerName);
}

std::variant<RasterPlan, RemoteImageError>
RasterBounds::checkDeclared(const QByteArray &bytes, const QByteArray &readerName)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, readerName);
    reader.setAutoDetectImageFormat(false);
    QSize declared = reader.size();
    // Qt's BMP reader declares a picture stored from the top row down (a negative height in
    // its header, as many programs write them) as the header gives it, and draws it the right
    // way up at the height's absolute value.
    if (declared.height() < 0 && declared.height() != std::numeric_limits<int>::min())
        declared.setHeight(std::abs(declared.height()));
    if (const auto error = spendPixels(declared))
        return *error;
    return RasterPlan{readerName, bytes, pixelsOf(declared)};
}

std::variant<RasterPlan, RemoteImageError>
RasterBounds::checkWebp(const QByteArray &bytes, const QByteArray &readerName)
{
    // Not Qt's reader, which, asked the size of an animation, reads and takes apart the whole
    // file and sets aside the canvas.
    const std::optional<WebpCanvas> canvas = WebpCanvas::read(bytes);
    if (!canvas)
        return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);
    if (const auto error = spendPixels(canvas->size))
        return *error;
    // An animation's first frame is decoded into a picture of its own, then drawn on the
    // canvas.
    const qint64 pixels = pixelsOf(canvas->size);
    return RasterPlan{readerName, bytes, canvas->animated ? 2 * pixels : pixels};
}

} // namespace tolvaran::markdown
