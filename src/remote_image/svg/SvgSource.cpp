#include "remote_image/svg/SvgSource.h"

#include "remote_image/formats/ImageFormats.h"
#include "remote_image/formats/RasterBounds.h"
#include "remote_image/svg/DrawingCost.h"
#include "remote_image/svg/SvgStyleSheet.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <optional>

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

// How deep SVG documents may be embedded in one another: the pictures of a document may be
// SVG documents, but theirs not.
constexpr int deepestEmbedding = 1;

std::variant<SvgSource, RemoteImageError> readDocument(const QByteArray &bytes,
                                                       const RemoteImageDecodeLimits &limits,
                                                       RasterBounds &pictures, int embedding,
                                                       const std::stop_token &stop);

// The address an image element's picture is written again as, once checked: none where Qt's
// renderer decodes nothing of it (the element is then left out, as Qt leaves it out). Qt's
// renderer reads an address (trimmed) that does not begin with "data" as the name of a file,
// "DATA:" among them, and an empty one as names of files too (one for each format it reads).
// Of one that does, it decodes what follows the last "base64,", base64-decoded whatever the
// address's header says (no percent escapes undone, characters outside base64 passed over),
// and decodes nothing of an address without one (plain text and percent escapes, as SVG
// pictures are often embedded).
std::variant<std::optional<QString>, RemoteImageError>
checkedPicture(QStringView href, const RemoteImageDecodeLimits &limits, RasterBounds &pictures,
               int embedding, const std::stop_token &stop, SvgSource &source)
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
    source.work.embeddedBytes += bytes.size();
    const QByteArray readerName = ImageFormats::qtReaderFor(bytes);
    // What no reader takes, Qt's renderer leaves out as well.
    if (readerName.isEmpty())
        return std::nullopt;
    const std::optional<ImageFormat> format = ImageFormats::decodedBy(readerName);
    if (!format)
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    if (*format == ImageFormat::svg) {
        if (embedding >= deepestEmbedding)
            return RemoteImageError{RemoteImageErrorKind::imageTooComplex, {}};
        auto embedded = readDocument(bytes, limits, pictures, embedding + 1, stop);
        if (const auto *error = std::get_if<RemoteImageError>(&embedded))
            return *error;
        const SvgSource &document = std::get<SvgSource>(embedded);
        // Read by Qt's renderer with its document, and once more where its drawing is charged.
        source.work += document.work;
        source.work += document.work;
        source.embeddedDocuments.append(document.text);
        return QString(QLatin1String("data:image/svg+xml;base64,")
                       + QLatin1String(document.text.toBase64()));
    }
    auto checked = pictures.check(bytes, readerName, *format);
    if (const auto *error = std::get_if<RemoteImageError>(&checked))
        return *error;
    return QString(QLatin1String("data:image/") + QLatin1String(readerName)
                   + QLatin1String(";base64,") + QLatin1String(bytes.toBase64()));
}

// An entity's value being expanded: read up to `at`, where it stands for `length` characters.
struct Expansion
{
    QStringView name;
    QStringView value;
    qsizetype at = 0;
    double length = 0;
};

// Reads on in `expansion` up to the first entity it names that `expanded` does not hold yet,
// returned; none once its value is read to the end. A name the document does not declare
// stays as it is written.
std::optional<QStringView> readOn(Expansion &expansion,
                                  const QHash<QStringView, QStringView> &values,
                                  const QHash<QStringView, double> &expanded)
{
    const QStringView value = expansion.value;
    for (qsizetype reference = value.indexOf(u'&', expansion.at); reference >= 0;
         reference = value.indexOf(u'&', expansion.at)) {
        const qsizetype end = value.indexOf(u';', reference);
        if (end < 0)
            break;
        const QStringView name = value.mid(reference + 1, end - reference - 1);
        double length = double(end + 1 - reference);
        if (name.startsWith(u'#') || name == u"amp" || name == u"lt" || name == u"gt"
            || name == u"quot" || name == u"apos")
            length = 1;
        else if (const auto known = expanded.constFind(name); known != expanded.cend())
            length = *known;
        else if (values.contains(name))
            return name;
        expansion.length += double(reference - expansion.at) + length;
        expansion.at = end + 1;
    }
    expansion.length += double(value.size() - expansion.at);
    expansion.at = value.size();
    return std::nullopt;
}

// The entities a document declares are expanded where they are used, as Qt's reader expands
// them, the entities their values name included, so that the text written again names none.
// Each, all it names expanded, may stand for maximumEntityCharacters at most, and every `&`
// of the document, as if it used the longest, must keep the text within maximumTextBytes. An
// entity that names itself, at any depth, is refused as the reader refuses it.
std::optional<RemoteImageError> checkEntities(const QXmlStreamReader &xml, const QByteArray &text)
{
    // The first declaration of a name is the one that holds.
    QHash<QStringView, QStringView> values;
    for (const QXmlStreamEntityDeclaration &entity : xml.entityDeclarations()) {
        // Parameter entities, which may declare others, are not followed.
        if (entity.value().contains(u'%'))
            return RemoteImageError{RemoteImageErrorKind::imageTooComplex, {}};
        if (!values.contains(entity.name()))
            values.insert(entity.name(), entity.value());
    }
    QHash<QStringView, double> expanded;
    double longest = 0;
    // The entities being expanded, each waiting for the last: every value is read once, and a
    // chain of entities costs no depth of the stack.
    QList<Expansion> expanding;
    QSet<QStringView> open;
    for (auto entity = values.cbegin(); entity != values.cend(); ++entity) {
        if (expanded.contains(entity.key()))
            continue;
        expanding.append({entity.key(), entity.value()});
        open.insert(entity.key());
        while (!expanding.isEmpty()) {
            Expansion &last = expanding.last();
            if (const std::optional<QStringView> named = readOn(last, values, expanded)) {
                if (open.contains(*named))
                    return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
                expanding.append({*named, values.value(*named)});
                open.insert(*named);
                continue;
            }
            if (last.length > double(SvgSource::maximumEntityCharacters))
                return RemoteImageError{RemoteImageErrorKind::imageTooComplex, {}};
            longest = std::max(longest, last.length);
            expanded.insert(last.name, last.length);
            open.remove(last.name);
            expanding.removeLast();
        }
    }
    if (double(text.count('&')) * longest > double(SvgSource::maximumTextBytes))
        return RemoteImageError{RemoteImageErrorKind::imageTooComplex, {}};
    return std::nullopt;
}

// Which run of a line of text a character belongs to, as the text's layout tells them: each
// script a run of its own, shaped apart and in a font of its own. Marks, ASCII and Latin-1's
// signs, and general punctuation join the run beside them (none); other characters common to
// all scripts (symbols, emoji) are drawn in a font that has them, each block of them a run.
std::optional<int> runOf(char32_t character)
{
    const QChar::Script script = QChar::script(character);
    if (script == QChar::Script_Inherited)
        return std::nullopt;
    if (script != QChar::Script_Common)
        return int(script);
    if (character < 0x100 || (character >= 0x2000 && character < 0x2070))
        return std::nullopt;
    return -int(character >> 7) - 1;
}

// The text a document draws, as Qt lays it out when it draws it: each text, textArea and
// tspan with characters of its own a layout, and each of its characters but white space
// shaped, in a run of its own wherever the text goes from one script, or block of symbols,
// to another. Text within a `defs` element is drawn only where it is used: not counted.
struct TextLayouts
{
    // The text elements open, innermost last: whether each is counted as laid out.
    QList<bool> open;
    int definitions = 0;
    std::optional<int> run;

    static bool isText(QStringView name)
    {
        return name == u"text" || name == u"tspan" || name == u"textArea";
    }
    void enter()
    {
        if (open.isEmpty())
            run.reset();
        open.append(false);
    }
    void leave() { open.removeLast(); }
    // `text` of the innermost element open, a text element.
    void add(QStringView text, SvgReadingWork &work)
    {
        if (definitions > 0)
            return;
        for (qsizetype i = 0; i < text.size(); ++i) {
            char32_t character = text[i].unicode();
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                character = QChar::surrogateToUcs4(text[i], text[i + 1]);
                ++i;
            }
            if (QChar::isSpace(character))
                continue;
            ++work.characters;
            if (!open.last()) {
                open.last() = true;
                ++work.textLayouts;
            }
            const std::optional<int> next = runOf(character);
            if (!next)
                continue;
            if (run && *run != *next)
                ++(*run < 0 || *next < 0 ? work.symbolChanges : work.scriptChanges);
            run = next;
        }
    }
};

// Whether Qt's renderer makes a node of an element named `name` (outside text, where it makes
// none but of tspans) and matches it against the style rules read before it: a stop only
// within a gradient.
bool matchedByRules(QStringView name)
{
    static constexpr QStringView matched[] = {u"g",        u"defs",    u"switch", u"path",
                                              u"rect",     u"circle",  u"ellipse", u"line",
                                              u"polyline", u"polygon", u"image",  u"text",
                                              u"textArea", u"use"};
    return std::find(std::begin(matched), std::end(matched), name) != std::end(matched);
}

// What an element is to the writing: written, a gradient, a `defs` element, a text element, a
// style sheet in CSS or in another language, or left out with all it holds.
enum class Written { element, gradient, definitions, text, styleSheet, style, leftOut };

std::variant<SvgSource, RemoteImageError> readDocument(const QByteArray &bytes,
                                                       const RemoteImageDecodeLimits &limits,
                                                       RasterBounds &pictures, int embedding,
                                                       const std::stop_token &stop)
{
    QByteArray text;
    if (isGzip(bytes)) {
        auto inflated = inflateGzip(bytes);
        if (const auto *error = std::get_if<RemoteImageError>(&inflated))
            return *error;
        text = std::get<QByteArray>(std::move(inflated));
        // Qt's renderer would inflate a second layer itself, without a limit.
        if (isGzip(text))
            return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    } else if (bytes.size() > SvgSource::maximumTextBytes) {
        return RemoteImageError{RemoteImageErrorKind::imageTooComplex, {}};
    } else {
        text = bytes;
    }

    SvgSource source;
    QXmlStreamReader xml(text);
    // As Qt's renderer reads it: elements and attributes by the names they are written with.
    xml.setNamespaceProcessing(false);
    xml.setEntityExpansionLimit(int(SvgSource::maximumEntityCharacters));
    QXmlStreamWriter writer(&source.text);
    QList<Written> open;
    TextLayouts layouts;
    // Qt adds each stop to the gradient begun last.
    qsizetype stopsOfGradient = 0;
    // The selectors of the rules read so far that each element is tested against, and the
    // rules that match every element.
    qsizetype testedSelectors = 0;
    qsizetype universalRules = 0;
    const auto leavingOut = [&open] { return !open.isEmpty() && open.last() == Written::leftOut; };
    // Qt's renderer reads no further than the end of the root element.
    bool ended = false;
    while (!ended && !xml.atEnd() && !xml.hasError()) {
        if (stop.stop_requested())
            return RemoteImageError{RemoteImageErrorKind::abandoned, {}};
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            if (const auto error = checkEntities(xml, text))
                return *error;
            break;
        case QXmlStreamReader::StartElement: {
            if (leavingOut()) {
                open.append(Written::leftOut);
                break;
            }
            const QStringView name = xml.name();
            if (open.isEmpty())
                source.declaredSize = sizeDeclaredBy(xml.attributes());
            const bool gradient = name == u"linearGradient" || name == u"radialGradient";
            if (gradient)
                stopsOfGradient = 0;
            else if (name == u"stop")
                source.work.stopsPassed += double(stopsOfGradient++);
            // Every reference but an image element's names something of the document itself.
            QXmlStreamAttributes kept;
            bool referenced = false;
            bool pictureKept = false;
            for (const QXmlStreamAttribute &attribute : xml.attributes()) {
                const QStringView qualified = attribute.qualifiedName();
                if (qualified.mid(qualified.lastIndexOf(u':') + 1) != u"href") {
                    kept.append(attribute);
                } else if (name == u"image") {
                    referenced = true;
                    auto address = checkedPicture(attribute.value(), limits, pictures, embedding,
                                                  stop, source);
                    if (const auto *error = std::get_if<RemoteImageError>(&address))
                        return *error;
                    if (const auto &written = std::get<std::optional<QString>>(address)) {
                        kept.append(qualified.toString(), *written);
                        pictureKept = true;
                    }
                } else if (attribute.value().trimmed().startsWith(u'#')) {
                    kept.append(attribute);
                }
            }
            if (name == u"image" && (!referenced || !pictureKept)) {
                open.append(Written::leftOut);
                break;
            }
            ++source.work.elements;
            const bool inGradient = !open.isEmpty() && open.last() == Written::gradient;
            if (layouts.open.isEmpty()
                && (matchedByRules(name) || (name == u"stop" && inGradient))) {
                source.work.selectorTests += double(testedSelectors);
                source.work.universalMatches += double(universalRules);
            }
            Written written = gradient ? Written::gradient : Written::element;
            if (TextLayouts::isText(name)) {
                layouts.enter();
                written = Written::text;
            } else if (name == u"style") {
                // Qt reads a style sheet of another language as nothing.
                const QXmlStreamAttributes attributes = xml.attributes();
                const QStringView type = attributes.value(QLatin1String("type"));
                written = type.isNull() || type.compare(u"text/css", Qt::CaseInsensitive) == 0
                              ? Written::styleSheet
                              : Written::style;
            } else if (name == u"defs") {
                ++layouts.definitions;
                written = Written::definitions;
            }
            open.append(written);
            writer.writeStartElement(xml.qualifiedName().toString());
            writer.writeAttributes(kept);
            break;
        }
        case QXmlStreamReader::EndElement: {
            const Written element = open.takeLast();
            if (element != Written::leftOut)
                writer.writeEndElement();
            if (element == Written::text)
                layouts.leave();
            else if (element == Written::definitions)
                --layouts.definitions;
            ended = open.isEmpty();
            break;
        }
        case QXmlStreamReader::Characters: {
            if (open.isEmpty() || leavingOut())
                break;
            if (open.last() == Written::styleSheet || open.last() == Written::style) {
                const SvgStyleSheet sheet = SvgStyleSheet::read(xml.text());
                if (open.last() == Written::styleSheet) {
                    source.work.styleRules += sheet.rules;
                    testedSelectors += sheet.testedSelectors;
                    universalRules += sheet.universalRules;
                }
                if (xml.isCDATA())
                    writer.writeCDATA(sheet.text);
                else
                    writer.writeCharacters(sheet.text);
                break;
            }
            if (open.last() == Written::text)
                layouts.add(xml.text(), source.work);
            writer.writeCharacters(xml.text().toString());
            break;
        }
        default:
            // The document's type and the entities it declares, instructions, comments, and
            // references to entities the reader could not expand: none of them is written.
            break;
        }
        // Refused as soon as the work counted, at least what Qt's renderer will do, passes
        // what reading may cost.
        if (source.text.size() > SvgSource::maximumTextBytes
            || DrawingCost::ofReading(source.work) > limits.readingBudget)
            return RemoteImageError{RemoteImageErrorKind::imageTooComplex, {}};
    }
    if (xml.hasError() || source.work.elements == 0 || !ended)
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    return source;
}

} // namespace

std::variant<SvgSource, RemoteImageError> SvgSource::read(const QByteArray &bytes,
                                                          const RemoteImageDecodeLimits &limits,
                                                          const std::stop_token &stop)
{
    // Qt's renderer decodes the embedded pictures itself, with Qt's own readers.
    RasterBounds pictures(limits, PictureReader::qts, stop);
    return readDocument(bytes, limits, pictures, 0, stop);
}

} // namespace tolvaran::markdown
