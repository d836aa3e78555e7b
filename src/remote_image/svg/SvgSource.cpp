#include "remote_image/svg/SvgSource.h"

#include <QBuffer>
#include <QImageReader>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <zlib.h>

#include <array>

namespace tolvaran::markdown {

namespace {

bool isGzip(const QByteArray &bytes)
{
    return bytes.startsWith("\x1f\x8b");
}

// A gzip file inflated, its members one after the other (as Qt reads them), stopped as soon
// as the text passes the limit.
std::variant<QByteArray, RemoteImageError> inflateGzip(const QByteArray &compressed)
{
    z_stream stream{};
    // Adding 16 to the window bits makes zlib read the gzip format.
    if (inflateInit2(&stream, MAX_WBITS + 16) != Z_OK)
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    QByteArray text;
    std::array<char, 64 * 1024> buffer;
    std::optional<RemoteImageError> failure;
    while (!failure) {
        stream.next_out = reinterpret_cast<Bytef *>(buffer.data());
        stream.avail_out = uInt(buffer.size());
        const int status = inflate(&stream, Z_NO_FLUSH);
        text.append(buffer.data(), qsizetype(buffer.size() - stream.avail_out));
        if (text.size() > SvgSource::maximumTextBytes)
            failure = RemoteImageError{RemoteImageErrorKind::imageTooComplex, {}};
        else if (status == Z_STREAM_END && stream.avail_in == 0)
            break;
        else if (status == Z_STREAM_END && inflateReset(&stream) != Z_OK)
            failure = RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
        else if (status != Z_STREAM_END && status != Z_OK)
            failure = RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    }
    inflateEnd(&stream);
    if (failure)
        return *failure;
    return text;
}

// The number that a length starts with ("12.5px", "3e2"); none when it starts with none, or
// is a percentage of a size that is not known here.
std::optional<double> leadingNumber(QStringView length)
{
    length = length.trimmed();
    qsizetype end = 0;
    while (end < length.size()
           && (length[end].isDigit() || QStringView(u"+-.eE").contains(length[end])))
        ++end;
    bool ok = false;
    const double value = length.left(end).toDouble(&ok);
    if (!ok || length.mid(end).trimmed().startsWith(u'%'))
        return std::nullopt;
    return value;
}

QSizeF sizeDeclaredBy(const QXmlStreamAttributes &attributes)
{
    const std::optional<double> width = leadingNumber(attributes.value(QLatin1String("width")));
    const std::optional<double> height = leadingNumber(attributes.value(QLatin1String("height")));
    if (width && height)
        return QSizeF(*width, *height);
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    const QList<QStringView> viewBox =
        attributes.value(QLatin1String("viewBox")).split(separators, Qt::SkipEmptyParts);
    if (viewBox.size() == 4)
        return QSizeF(viewBox[2].toDouble(), viewBox[3].toDouble());
    return {};
}

// The bytes of a data address ("data:[type][;base64],payload"): percent escapes undone, then
// base64 decoded when the header says so. None when it is no data address.
std::optional<QByteArray> dataAddressBytes(QStringView address)
{
    if (!address.startsWith(u"data:", Qt::CaseInsensitive))
        return std::nullopt;
    const qsizetype comma = address.indexOf(u',');
    if (comma < 0)
        return QByteArray();
    const QStringView header = address.mid(5, comma - 5);
    QByteArray payload = QByteArray::fromPercentEncoding(address.mid(comma + 1).toUtf8());
    if (header.trimmed().endsWith(u";base64", Qt::CaseInsensitive))
        payload = QByteArray::fromBase64(payload);
    return payload;
}

// Checks the picture that an image element names, and adds its pixels to `pixels`.
std::optional<RemoteImageError> checkImageReference(QStringView href, qint64 &pixels,
                                                    const RemoteImageDecodeLimits &limits)
{
    href = href.trimmed();
    if (href.isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> bytes = dataAddressBytes(href);
    if (!bytes)
        return RemoteImageError{RemoteImageErrorKind::urlRefused, {}};
    QBuffer buffer;
    buffer.setData(*bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    // What no reader takes, Qt's renderer leaves out as well.
    if (!reader.canRead())
        return std::nullopt;
    if (reader.format().startsWith("svg") || isGzip(*bytes))
        return RemoteImageError{RemoteImageErrorKind::imageTooComplex, {}};
    const QSize size = reader.size();
    if (!size.isValid())
        return RemoteImageError{RemoteImageErrorKind::imageTooLarge, {}};
    pixels += qint64(size.width()) * size.height();
    if (pixels > limits.maximumPixels)
        return RemoteImageError{RemoteImageErrorKind::imageTooLarge, {}};
    return std::nullopt;
}

} // namespace

std::variant<SvgSource, RemoteImageError> SvgSource::read(const QByteArray &bytes,
                                                          const RemoteImageDecodeLimits &limits)
{
    SvgSource source;
    if (isGzip(bytes)) {
        auto inflated = inflateGzip(bytes);
        if (const auto *error = std::get_if<RemoteImageError>(&inflated))
            return *error;
        source.text = std::get<QByteArray>(std::move(inflated));
        // Qt's renderer would inflate a second layer itself, without a limit.
        if (isGzip(source.text))
            return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    } else if (bytes.size() > maximumTextBytes) {
        return RemoteImageError{RemoteImageErrorKind::imageTooComplex, {}};
    } else {
        source.text = bytes;
    }

    QXmlStreamReader xml(source.text);
    qint64 embeddedPixels = 0;
    int depth = 0;
    // Qt's renderer reads no further than the end of the root element.
    while (!xml.atEnd() && !xml.hasError()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && --depth == 0)
            break;
        if (token == QXmlStreamReader::Characters)
            source.textLength += xml.text().size();
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (depth++ == 0)
            source.declaredSize = sizeDeclaredBy(xml.attributes());
        ++source.elementCount;
        if (xml.name() == u"text" || xml.name() == u"tspan" || xml.name() == u"textArea")
            ++source.textElementCount;
        if (xml.name() != u"image")
            continue;
        // Qt reads "xlink:href", else "href": every one of them must be safe.
        for (const QXmlStreamAttribute &attribute : xml.attributes()) {
            if (attribute.name() != u"href")
                continue;
            if (const auto error = checkImageReference(attribute.value(), embeddedPixels, limits))
                return *error;
        }
    }
    if (xml.hasError() || source.elementCount == 0)
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    return source;
}

} // namespace tolvaran::markdown
