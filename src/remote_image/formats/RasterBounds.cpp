#include "remote_image/formats/RasterBounds.h"

#include "remote_image/formats/GifFrame.h"
#include "remote_image/formats/IconEntry.h"
#include "remote_image/formats/JpegScans.h"
#include "remote_image/formats/PngDataBounds.h"
#include "remote_image/png/PngReader.h"

#include <QBuffer>
#include <QImageReader>

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
    case ImageFormat::bmp:
    case ImageFormat::anymap:
    case ImageFormat::xbm:
    case ImageFormat::xpm:
        return checkDeclared(bytes, readerName, format);
    case ImageFormat::svg:
        break;
    }
    // An SVG is drawn by SvgRasterizer, never as a raster picture.
    return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);
}

std::optional<RemoteImageError> RasterBounds::spendPixels(QSize size)
{
    if (!size.isValid() || size.isEmpty())
        return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);
    m_pixels += pixelsOf(size);
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
    if (m_reader == PictureReader::qts) {
        if (const auto error = PngDataBounds::check(bytes, m_textBytes, m_stop))
            return *error;
        return RasterPlan{ImageFormat::png, "png", bytes, declared, pixelsOf(declared)};
    }
    return RasterPlan{ImageFormat::png, {}, bytes, declared, pixelsOf(declared)};
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
    return RasterPlan{ImageFormat::jpeg, "jpeg", bytes, jpeg->frameSize,
                      pixels * scans / JpegScans::typicalProgressiveScans};
}

std::variant<RasterPlan, RemoteImageError> RasterBounds::checkGif(const QByteArray &bytes)
{
    auto read = GifFrame::read(bytes, m_limits.maximumPixels);
    if (const auto *error = std::get_if<RemoteImageError>(&read))
        return *error;
    const GifFrame &frame = std::get<GifFrame>(read);
    // Qt's reader draws the frame on a picture of the screen's size, or of the frame's where
    // the screen has none; its work is that of the larger.
    const QSize declared = frame.screenSize.isEmpty() ? frame.frameSize : frame.screenSize;
    if (const auto error = spendPixels(declared))
        return *error;
    const qint64 cost = std::max(pixelsOf(declared), pixelsOf(frame.frameSize));
    return RasterPlan{ImageFormat::gif, "gif", bytes, declared, cost};
}

std::variant<RasterPlan, RemoteImageError> RasterBounds::checkIcon(const QByteArray &bytes,
                                                                   const QByteArray &readerName)
{
    const std::optional<IconEntry> entry = IconEntry::read(bytes);
    if (!entry)
        return RemoteImageError(RemoteImageErrorKind::cannotDecodeContentData);
    if (entry->isPng()) {
        auto plan = checkPng(entry->png);
        if (auto *png = std::get_if<RasterPlan>(&plan)) {
            png->format = ImageFormat::icon;
            // Inside an SVG, Qt's icon reader reads the whole icon file.
            if (m_reader == PictureReader::qts) {
                png->readerName = readerName;
                png->bytes = bytes;
            }
        }
        return plan;
    }
    if (pixelsOf(entry->bitmapSize) > m_limits.maximumPixels)
        return RemoteImageError(RemoteImageErrorKind::imageTooLarge);
    return checkDeclared(bytes, readerName, ImageFormat::icon);
}

std::variant<RasterPlan, RemoteImageError>
RasterBounds::checkDeclared(const QByteArray &bytes, const QByteArray &readerName,
                            ImageFormat format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, readerName);
    reader.setAutoDetectImageFormat(false);
    const QSize declared = reader.size();
    if (const auto error = spendPixels(declared))
        return *error;
    return RasterPlan{format, readerName, bytes, declared, pixelsOf(declared)};
}

} // namespace tolvaran::markdown
