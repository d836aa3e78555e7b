#include "remote_image/RemoteImageDecoder.h"

#include <QBuffer>
#include <QImageReader>

namespace tolvaran::markdown {

namespace {

bool exceedsBudget(QSize size)
{
    return qint64(size.width()) * qint64(size.height()) > RemoteImageDecoder::maximumPixels;
}

} // namespace

RemoteImageResult RemoteImageDecoder::decode(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAllocationLimit(allocationLimitMiB);
    if (!reader.canRead())
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    // The size a file declares (for SVG, the size it is drawn at), known before decoding.
    if (const QSize declared = reader.size(); declared.isValid() && exceedsBudget(declared))
        return RemoteImageError{RemoteImageErrorKind::imageTooLarge, {}};
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    if (exceedsBudget(image.size()))
        return RemoteImageError{RemoteImageErrorKind::imageTooLarge, {}};
    return image;
}

} // namespace tolvaran::markdown
