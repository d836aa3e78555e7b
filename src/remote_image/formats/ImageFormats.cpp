#include "remote_image/formats/ImageFormats.h"

#include <QBuffer>
#include <QImageReader>

#include <utility>

namespace tolvaran::markdown {

namespace {

// Qt's readers by the names they go by, and what each reads.
constexpr std::pair<const char *, ImageFormat> decodedReaders[] = {
    {"png", ImageFormat::png},    {"jpeg", ImageFormat::jpeg},  {"jpg", ImageFormat::jpeg},
    {"gif", ImageFormat::gif},    {"ico", ImageFormat::icon},   {"cur", ImageFormat::icon},
    {"bmp", ImageFormat::bmp},    {"pbm", ImageFormat::anymap}, {"pgm", ImageFormat::anymap},
    {"ppm", ImageFormat::anymap}, {"xbm", ImageFormat::xbm},    {"xpm", ImageFormat::xpm},
    {"webp", ImageFormat::webp},  {"svg", ImageFormat::svg},    {"svgz", ImageFormat::svg},
};

} // namespace

QByteArray ImageFormats::qtReaderFor(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader::imageFormat(&buffer).toLower();
}

std::optional<ImageFormat> ImageFormats::decodedBy(const QByteArray &readerName)
{
    for (const auto &[name, format] : decodedReaders) {
        if (readerName == name)
            return format;
    }
    return std::nullopt;
}

} // namespace tolvaran::markdown
