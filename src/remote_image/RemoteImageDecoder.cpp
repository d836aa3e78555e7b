#include "remote_image/RemoteImageDecoder.h"

#include "remote_image/formats/ImageFormats.h"
#include "remote_image/formats/RasterBounds.h"
#include "remote_image/formats/StoppableDevice.h"
#include "remote_image/png/PngReader.h"
#include "remote_image/svg/DrawingCost.h"
#include "remote_image/svg/SvgRasterizer.h"
#include "remote_image/svg/SvgSource.h"

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

// An estimate only, to tell costly drawings from cheap ones: the reading, and every element as
// if it covered the whole picture.
qint64 estimatedSvgCost(const SvgSource &source, qint64 maximumPixels)
{
    const QSizeF size = source.declaredSize;
    const double area = size.isValid() ? std::min(size.width() * size.height(),
                                                  double(maximumPixels))
                                       : double(maximumPixels);
    const double cost = double(DrawingCost::ofReading(source.work))
                        + double(source.work.elements) * (area + DrawingCost::pieceOverhead);
    return qint64(std::min(cost, double(std::numeric_limits<qint64>::max() / 2)));
}

} // namespace

RemoteImageDecoder::RemoteImageDecoder(RemoteImageDecodeLimits limits)
    : m_limits(limits)
{
    limitReaderAllocations();
}

std::variant<PreparedRemoteImage, RemoteImageError>
RemoteImageDecoder::prepare(const QByteArray &bytes, const std::stop_token &stop) const
{
    // A PNG file is ours whatever reader Qt would choose.
    const bool png = PngReader::handles(bytes);
    const QByteArray readerName = png ? QByteArray("png") : ImageFormats::qtReaderFor(bytes);
    const std::optional<ImageFormat> format =
        png ? ImageFormat::png : ImageFormats::decodedBy(readerName);
    if (!format)
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData,
                                QString::fromLatin1(readerName.toUpper())};
    // The SVG reader would parse and inflate the whole file just to tell its size.
    if (*format == ImageFormat::svg) {
        auto source = SvgSource::read(bytes, m_limits, stop);
        if (const auto *error = std::get_if<RemoteImageError>(&source))
            return *error;
        const SvgSource &svg = std::get<SvgSource>(source);
        return PreparedRemoteImage{PreparedRemoteImage::Kind::svg, svg.text,
                                   estimatedSvgCost(svg, m_limits.maximumPixels), {},
                                   svg.embeddedDocuments};
    }
    auto checked = RasterBounds(m_limits, PictureReader::ours, stop).check(bytes, readerName,
                                                                          *format);
    if (const auto *error = std::get_if<RemoteImageError>(&checked))
        return *error;
    RasterPlan plan = std::get<RasterPlan>(std::move(checked));
    return PreparedRemoteImage{PreparedRemoteImage::Kind::raster, std::move(plan.bytes),
                               plan.estimatedCost, std::move(plan.readerName), {}};
}

RemoteImageResult RemoteImageDecoder::decode(const PreparedRemoteImage &image,
                                             const std::stop_token &stop,
                                             QSize maximumSize) const
{
    if (stop.stop_requested())
        return RemoteImageError{RemoteImageErrorKind::abandoned, {}};
    if (image.kind == PreparedRemoteImage::Kind::svg) {
        const RemoteImageResult drawn =
            SvgRasterizer::render(image.bytes, image.embeddedDocuments, m_limits, stop);
        return drawn.succeeded() ? fitted(drawn.decoded(), maximumSize) : drawn;
    }
    if (image.readerName.isEmpty()) {
        // Shrunk as it is read, unless it is interlaced.
        const RemoteImageResult read =
            PngReader::read(image.bytes, m_limits.maximumPixels, maximumSize, stop);
        return read.succeeded() ? fitted(read.decoded(), maximumSize) : read;
    }
    StoppableDevice device(image.bytes, stop);
    device.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    // The reader the picture was checked for, and no other.
    QImageReader reader(&device, image.readerName);
    reader.setAutoDetectImageFormat(false);
    // The reader shrinks what it read (JPEG's as it reads, so the whole picture's pixels are
    // never made): the whole picture's pixels are held only while it decodes.
    const QSize declared = reader.size();
    if (declared.isValid() && fittedPictureSize(declared, maximumSize) != declared)
        reader.setScaledSize(fittedPictureSize(declared, maximumSize));
    QImage decoded;
    const bool read = reader.read(&decoded) && !decoded.isNull();
    // A reader whose reads failed may still have made a picture of what it had read.
    if (stop.stop_requested())
        return RemoteImageError{RemoteImageErrorKind::abandoned, {}};
    if (!read)
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    const QSize pictureSize = declared.isValid() ? declared : decoded.size();
    // Nothing to draw is no picture, whatever the reader made.
    if (pictureSize.isEmpty() || decoded.size().isEmpty())
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    if (exceedsBudget(pictureSize, m_limits.maximumPixels)
        || exceedsBudget(decoded.size(), m_limits.maximumPixels))
        return RemoteImageError{RemoteImageErrorKind::imageTooLarge, {}};
    return fitted(DecodedImage(compact(std::move(decoded), pictureSize), pictureSize),
                  maximumSize);
}

RemoteImageResult RemoteImageDecoder::decode(const QByteArray &bytes,
                                             const std::stop_token &stop,
                                             QSize maximumSize) const
{
    auto prepared = prepare(bytes, stop);
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
