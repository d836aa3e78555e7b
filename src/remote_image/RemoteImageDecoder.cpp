#include "remote_image/RemoteImageDecoder.h"

#include "remote_image/png/PngReader.h"
#include "remote_image/svg/DrawingCost.h"
#include "remote_image/svg/SvgRasterizer.h"
#include "remote_image/svg/SvgSource.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <mutex>

namespace tolvaran::markdown {

namespace {

bool exceedsBudget(QSize size, qint64 maximumPixels)
{
    return qint64(size.width()) * qint64(size.height()) > maximumPixels;
}

// Qt keeps one allocation limit for every reader of the process, the readers that Qt's SVG
// renderer uses for embedded pictures included.
void limitReaderAllocations()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QImageReader::setAllocationLimit(RemoteImageDecoder::allocationLimitMiB);
    });
}

// An estimate only, to tell costly drawings from cheap ones: every element as if it covered
// the whole picture.
qint64 estimatedSvgCost(const SvgSource &source, qint64 maximumPixels)
{
    const QSizeF size = source.declaredSize;
    const double area = size.isValid() ? std::min(size.width() * size.height(),
                                                  double(maximumPixels))
                                       : double(maximumPixels);
    const double cost = double(source.elementCount) * (area + DrawingCost::pieceOverhead);
    return qint64(std::min(cost, double(std::numeric_limits<qint64>::max() / 2)));
}

} // namespace

RemoteImageDecoder::RemoteImageDecoder(RemoteImageDecodeLimits limits)
    : m_limits(limits)
{
    limitReaderAllocations();
}

std::variant<PreparedRemoteImage, RemoteImageError>
RemoteImageDecoder::prepare(const QByteArray &bytes) const
{
    // Not Qt's reader, which inflates a PNG's text chunks to tell its size.
    if (PngReader::handles(bytes)) {
        const QSize declared = PngReader::declaredSize(bytes);
        if (!declared.isValid())
            return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
        if (exceedsBudget(declared, m_limits.maximumPixels))
            return RemoteImageError{RemoteImageErrorKind::imageTooLarge, {}};
        return PreparedRemoteImage{PreparedRemoteImage::Kind::raster, bytes,
                                   qint64(declared.width()) * declared.height(), 0};
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    // The SVG reader would parse and inflate the whole file just to tell its size.
    if (reader.format().startsWith("svg")) {
        auto source = SvgSource::read(bytes, m_limits);
        if (const auto *error = std::get_if<RemoteImageError>(&source))
            return *error;
        const SvgSource &svg = std::get<SvgSource>(source);
        return PreparedRemoteImage{PreparedRemoteImage::Kind::svg, svg.text,
                                   estimatedSvgCost(svg, m_limits.maximumPixels),
                                   DrawingCost::ofReading(svg.elementCount, svg.textElementCount,
                                                          svg.textLength)};
    }
    // The size a file declares, known before decoding.
    const QSize declared = reader.size();
    if (declared.isValid() && exceedsBudget(declared, m_limits.maximumPixels))
        return RemoteImageError{RemoteImageErrorKind::imageTooLarge, {}};
    const qint64 pixels = declared.isValid() ? qint64(declared.width()) * declared.height()
                                             : m_limits.maximumPixels;
    return PreparedRemoteImage{PreparedRemoteImage::Kind::raster, bytes, pixels, 0};
}

RemoteImageResult RemoteImageDecoder::decode(const PreparedRemoteImage &image,
                                             const std::stop_token &stop,
                                             QSize maximumSize) const
{
    if (image.kind == PreparedRemoteImage::Kind::svg) {
        const RemoteImageResult drawn =
            SvgRasterizer::render(image.bytes, image.readingCost, m_limits, stop);
        return drawn.succeeded() ? fitted(drawn.decoded(), maximumSize) : drawn;
    }
    if (PngReader::handles(image.bytes)) {
        // Shrunk as it is read, unless it is interlaced.
        const RemoteImageResult read =
            PngReader::read(image.bytes, m_limits.maximumPixels, maximumSize, stop);
        return read.succeeded() ? fitted(read.decoded(), maximumSize) : read;
    }
    QBuffer buffer;
    buffer.setData(image.bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    // The reader shrinks what it read (JPEG's as it reads, so the whole picture's pixels are
    // never made): the whole picture's pixels are held only while it decodes.
    const QSize declared = reader.size();
    if (declared.isValid() && fittedPictureSize(declared, maximumSize) != declared)
        reader.setScaledSize(fittedPictureSize(declared, maximumSize));
    QImage decoded;
    if (!reader.read(&decoded) || decoded.isNull())
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    const QSize pictureSize = declared.isValid() ? declared : decoded.size();
    if (exceedsBudget(pictureSize, m_limits.maximumPixels)
        || exceedsBudget(decoded.size(), m_limits.maximumPixels))
        return RemoteImageError{RemoteImageErrorKind::imageTooLarge, {}};
    // A reader that could not tell the size beforehand read the whole picture.
    return fitted(DecodedImage(compact(std::move(decoded), pictureSize), pictureSize),
                  maximumSize);
}

RemoteImageResult RemoteImageDecoder::decode(const QByteArray &bytes,
                                             const std::stop_token &stop,
                                             QSize maximumSize) const
{
    auto prepared = prepare(bytes);
    if (const auto *error = std::get_if<RemoteImageError>(&prepared))
        return *error;
    return decode(std::get<PreparedRemoteImage>(prepared), stop, maximumSize);
}

DecodedImage RemoteImageDecoder::fitted(const DecodedImage &image, QSize maximumSize)
{
    const QSize size = fittedPictureSize(image.pictureSize, maximumSize);
    // Only ever shrunk: an image already no larger is the best there is.
    if (image.image.width() <= size.width() && image.image.height() <= size.height())
        return image;
    // Qt shrinks a picture of a palette by a third or more to some of its pixels rather than
    // to their average, and otherwise to premultiplied pixels, transparent or not: it is
    // shrunk as colours, opaque ones as RGB32 (which draws without blending), as the PNG
    // reader's own shrinking gives them.
    const QImage::Format format = image.image.format();
    const QImage colours =
        format == QImage::Format_Indexed8 || format == QImage::Format_Mono
            ? image.image.convertToFormat(image.image.hasAlphaChannel()
                                              ? QImage::Format_ARGB32_Premultiplied
                                              : QImage::Format_RGB32)
            : image.image;
    return DecodedImage(
        compact(colours.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
                image.pictureSize),
        image.pictureSize);
}

QImage RemoteImageDecoder::compact(QImage pixels, QSize pictureSize)
{
    // A picture of more than 8 bits a channel is read at 8 bytes a pixel; a screen shows 8
    // bits, and the pixels kept, cached and counted by the budgets take half as much at 4.
    if (pixels.depth() > 32)
        pixels.convertTo(pixels.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                  : QImage::Format_RGB32);
    // Set here, on pixels no one else holds yet: setting it later copies them.
    if (pictureSize.width() > 0)
        pixels.setDevicePixelRatio(double(pixels.width()) / pictureSize.width());
    return pixels;
}

} // namespace tolvaran::markdown
