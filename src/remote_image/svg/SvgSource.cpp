#include "remote_image/svg/SvgSource.h"

#include "remote_image/formats/ImageFormats.h"
#include "remote_image/formats/RasterBounds.h"

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

// Checks the picture that an image element names, with the other pictures of its document.
// Qt's renderer reads an address (trimmed) that does not begin with "data" as the name of a
// file, "DATA:" among them. Of one that does, it decodes what follows the last "base64,",
// base64-decoded whatever the address's header says (no percent escapes undone, characters
// outside base64 passed over), and leaves out an address without one, decoding nothing of it
// (plain text and percent escapes, as SVG pictures are often embedded).
std::optional<RemoteImageError> checkImageReference(QStringView href, RasterBounds &pictures)
{
    href = href.trimmed();
    if (href.isEmpty())
        return std::nullopt;
    if (!href.startsWith(u"data"))
        return RemoteImageError{RemoteImageErrorKind::urlRefused, {}};
    const qsizetype payload = href.lastIndexOf(u"base64,");
    if (payload < 0)
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromBase64(href.mid(payload + 7).toLatin1());
    const QByteArray readerName = ImageFormats::qtReaderFor(bytes);
    // What no reader takes, Qt's renderer leaves out as well.
    if (readerName.isEmpty())
        return std::nullopt;
    const std::optional<ImageFormat> format = ImageFormats::decodedBy(readerName);
    if (!format)
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    if (*format == ImageFormat::svg || isGzip(bytes))
        return RemoteImageError{RemoteImageErrorKind::imageTooComplex, {}};
    auto checked = pictures.check(bytes, readerName, *format);
    if (const auto *error = std::get_if<RemoteImageError>(&checked))
        return *error;
    return std::nullopt;
}

} // namespace

std::variant<SvgSource, RemoteImageError> SvgSource::read(const QByteArray &bytes,
                                                          const RemoteImageDecodeLimits &limits,
                                                          const std::stop_token &stop)
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
    // Qt's renderer decodes the embedded pictures itself, with Qt's own readers.
    RasterBounds pictures(limits, PictureReader::qts, stop);
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
            if (const auto error = checkImageReference(attribute.value(), pictures))
                return *error;
        }
    }
    if (xml.hasError() || source.elementCount == 0)
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    return source;
}

} // namespace tolvaran::markdown
