#include "support/markdown/HostilePictures.h"

#include "support/markdown/LibjpegWriter.h"

#include <QtEndian>


#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace tolvaran::fixtures {

namespace {

constexpr char svgStart[] = "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                            "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"100\" "
                            "height=\"100\">";

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

} // namespace

QByteArray svgOfGradientChain(int gradients)
{
    QByteArray svg(svgStart);
    svg.reserve(qsizetype(gradients) * 52 + 512);
    // Each names the one after it, not yet read: Qt keeps the name and follows it only when
    // the gradient is first drawn, then every link after it in one go.
    for (int i = 0; i + 1 < gradients; ++i)
        svg += "<linearGradient id=\"g" + number(i) + "\" xlink:href=\"#g" + number(i + 1)
               + "\"/>";
    svg += "<linearGradient id=\"g" + number(gradients - 1)
           + "\"><stop offset=\"0\" stop-color=\"#36c\"/><stop offset=\"1\" "
             "stop-color=\"#fc3\"/></linearGradient>";
    return svg + "<rect width=\"100\" height=\"100\" fill=\"url(#g0)\"/></svg>";
}

QByteArray svgOfReusedGroup(int groups, int uses)
{
    QByteArray svg = QByteArray(svgStart) + "<defs><g id=\"a\">";
    svg.reserve(svg.size() + qsizetype(groups) * 4 + qsizetype(uses) * 22 + 64);
    for (int i = 0; i < groups; ++i)
        svg += "<g/>";
    svg += "</g></defs>";
    for (int i = 0; i < uses; ++i)
        svg += "<use xlink:href=\"#a\"/>";
    return svg + "</svg>";
}

QByteArray svgOfDescendantSelectors(int selectors, int depth)
{
    QByteArray svg = QByteArray(svgStart) + "<style>";
    svg.reserve(svg.size() + qsizetype(selectors) * 5 + qsizetype(depth) * 7 + 64);
    for (int i = 0; i < selectors; ++i)
        svg += i == 0 ? "x g" : ", x g";
    svg += "{fill:#c33}</style>";
    for (int i = 0; i < depth; ++i)
        svg += "<g>";
    for (int i = 0; i < depth; ++i)
        svg += "</g>";
    return svg + "</svg>";
}

QByteArray svgOfLongClassLists(int elements, qsizetype classBytes, int rules)
{
    QByteArray svg = QByteArray(svgStart) + "<style>";
    for (int i = 0; i < rules; ++i)
        svg += ".c" + number(i) + "{fill:#c33}";
    svg += "</style>";
    // One-letter classes that no rule names.
    QByteArray classes;
    classes.reserve(classBytes + 1);
    while (classes.size() + 2 <= classBytes)
        classes += "k ";
    classes += "k";
    for (int i = 0; i < elements; ++i)
        svg += "<rect class=\"" + classes + "\" width=\"10\" height=\"10\"/>";
    return svg + "</svg>";
}

QByteArray svgOfNamespaceDeclarations(int declarations)
{
    QByteArray svg = QByteArray(svgStart) + "<g";
    svg.reserve(svg.size() + qsizetype(declarations) * 20 + 128);
    for (int i = 0; i < declarations; ++i)
        svg += " xmlns:n" + number(i) + "=\"u\"";
    return svg + "><rect width=\"10\" height=\"10\"/></g></svg>";
}

namespace {

// A grey checkerboard of single pixels: the finest detail there is, the last coefficient of
// every block far from zero.
QImage checkerboard(QSize size)
{
    constexpr uchar dark = 68;
    constexpr uchar light = 188;
    QImage pixels(size, QImage::Format_Grayscale8);
    for (int y = 0; y < size.height(); ++y) {
        uchar *row = pixels.scanLine(y);
        for (int x = 0; x < size.width(); ++x)
            row[x] = (x + y) % 2 ? light : dark;
    }
    return pixels;
}

// The scans libjpeg writes: the first colours of every block, then the rest of its detail
// (coefficients 1 to 63) but for the lowest bit.
constexpr int refinedBit = 1;
constexpr int lastCoefficient = 63;
const jpeg_scan_info writtenScans[] = {
    {1, {0, 0, 0, 0}, 0, 0, 0, 0},
    {1, {0, 0, 0, 0}, 1, lastCoefficient, 0, refinedBit},
};

constexpr uchar markerPrefix = 0xff;
constexpr uchar startOfScan = 0xda;
constexpr uchar endOfImage = 0xd9;

// A scan refining the lowest bit of coefficients 1 to 63 of the one component (libjpeg names
// it 1), with the coding tables numbered 0, and no data after its header: the header's length,
// its one component and its tables, the coefficients, then the bit refined and the one after.
QByteArray emptyRefinementScan()
{
    constexpr uchar headerLength = 8;
    constexpr uchar components = 1;
    constexpr uchar componentId = 1;
    constexpr uchar tables = 0x00;
    const uchar segment[] = {markerPrefix,    startOfScan, 0, headerLength, components,
                             componentId,     tables,      1, lastCoefficient,
                             uchar(refinedBit << 4 | (refinedBit - 1))};
    return QByteArray(reinterpret_cast<const char *>(segment), sizeof segment);
}

} // namespace

QByteArray jpegOfEmptyRefinements(QSize size, int refinements, bool arithmetic)
{
    QByteArray jpeg =
        LibjpegWriter{arithmetic, true, writtenScans}.write(checkerboard(size));
    // The file ends with its end marker; the empty scans go before it.
    const QByteArray end = jpeg.right(2);
    Q_ASSERT(uchar(end[1]) == endOfImage);
    jpeg.chop(2);
    const QByteArray scan = emptyRefinementScan();
    for (int i = 0; i < refinements; ++i)
        jpeg += scan;
    return jpeg + end;
}

namespace {

// Bits as a lossless WebP stream packs them: a value's lowest bit first, each into the lowest
// bit of its byte not yet filled.
class LosslessBits
{
public:
    void add(quint32 value, int width)
    {
        m_bits |= quint64(value) << m_count;
        m_count += width;
        while (m_count >= 8) {
            m_bytes += char(m_bits & 0xff);
            m_bits >>= 8;
            m_count -= 8;
        }
    }
    // A symbol's prefix code, its first bit (the highest of `code`) first.
    void addCode(quint32 code, int length)
    {
        for (int bit = length - 1; bit >= 0; --bit)
            add((code >> bit) & 1, 1);
    }
    QByteArray bytes() const
    {
        QByteArray bytes = m_bytes;
        if (m_count > 0)
            bytes += char(m_bits & 0xff);
        return bytes;
    }

private:
    QByteArray m_bytes;
    quint64 m_bits = 0;
    int m_count = 0;
};

// A group's prefix codes: green (with the lengths of backward references), red, blue, alpha,
// and the distances of backward references; the alphabets of the first two.
constexpr int codesPerGroup = 5;
constexpr int greenAlphabet = 256 + 24;
constexpr int colourAlphabet = 256;
// The code lengths of a code's lengths are written in this order.
constexpr int lengthCodeOrder[] = {17, 18, 0, 1, 2, 3, 4, 5, 16, 6, 7, 8, 9, 10, 11, 12, 13,
                                   14, 15};
constexpr int lengthCodes = int(std::size(lengthCodeOrder));
// The stream gives the number of code lengths it writes of them less the fewest it may write.
constexpr int fewestLengthCodes = 4;

// A code of one symbol, 0 or 1, read with no bits: the simple kind of code, one symbol, named
// in one bit.
void addSingleSymbolCode(LosslessBits &bits, int symbol)
{
    bits.add(1, 1); // simple
    bits.add(0, 1); // one symbol
    bits.add(0, 1); // named in one bit
    bits.add(quint32(symbol), 1);
}

// A complete prefix code of the symbols 0 to count - 1, as short as it can be: the first
// 2^k - count symbols one bit shorter than the rest; one symbol alone is read with no bits.
class EvenCode
{
public:
    explicit EvenCode(int count)
        : m_count(count)
    {
        while ((1 << m_longest) < count)
            ++m_longest;
        m_shorter = (1 << m_longest) - count;
    }

    // The code as a stream declares it, in an alphabet of `alphabet` symbols: its lengths,
    // coded with a code of one bit a length (of none where all are alike), up to the last
    // symbol used.
    void addDeclaration(LosslessBits &bits, int alphabet) const
    {
        if (m_count == 1) {
            addSingleSymbolCode(bits, 0);
            return;
        }
        bits.add(0, 1); // not simple
        bits.add(quint32(lengthCodes - fewestLengthCodes), 4);
        const bool alike = m_shorter == 0;
        for (const int length : lengthCodeOrder) {
            const bool used = length == m_longest || (!alike && length == m_longest - 1);
            bits.add(used ? 1 : 0, 3);
        }
        if (m_count == alphabet) {
            bits.add(0, 1);
        } else {
            // The number of lengths read, less two, in 2 + 2n bits.
            bits.add(1, 1);
            int widths = 0;
            while ((1 << (2 + 2 * widths)) <= m_count - 2)
                ++widths;
            bits.add(quint32(widths), 3);
            bits.add(quint32(m_count - 2), 2 + 2 * widths);
        }
        // The shorter length's code is 0, the longer's 1.
        for (int symbol = 0; !alike && symbol < m_count; ++symbol)
            bits.add(symbol < m_shorter ? 0 : 1, 1);
    }

    // Canonical codes: the shorter in order of their symbols, then the longer after them.
    void addSymbol(LosslessBits &bits, int symbol) const
    {
        if (symbol < m_shorter)
            bits.addCode(quint32(symbol), m_longest - 1);
        else
            bits.addCode(quint32(m_shorter + symbol), m_longest);
    }

private:
    int m_count = 0;
    int m_longest = 0;
    int m_shorter = 0;
};

QByteArray littleEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

constexpr uchar losslessSignature = 0x2f;
constexpr int sideBits = 14;
// The entropy image has a pixel for each block of 2^2 x 2^2 pixels, the least the format
// allows: the stream gives a block's bits less that least.
constexpr int leastBlockBits = 2;
constexpr int groupBlockBits = leastBlockBits;
// A group's index is its entropy pixel's red and green.
constexpr int groupsPerRed = 256;

} // namespace

QByteArray webpOfPrefixCodeGroups(int groups)
{
    // A square entropy image with a pixel for each group, each naming its own.
    const int entropySide = int(std::ceil(std::sqrt(double(groups))));
    const int side = entropySide << groupBlockBits;
    LosslessBits bits;
    bits.add(losslessSignature, 8);
    bits.add(quint32(side - 1), sideBits);
    bits.add(quint32(side - 1), sideBits);
    bits.add(1, 1); // alpha used
    bits.add(0, 3); // version
    bits.add(0, 1); // no transform
    bits.add(0, 1); // no colour cache
    bits.add(1, 1); // groups of prefix codes, named by an entropy image
    bits.add(groupBlockBits - leastBlockBits, 3);

    // The entropy image: no colour cache, one group of codes, then its pixels.
    bits.add(0, 1);
    const EvenCode greenCode(std::min(groups, groupsPerRed));
    const EvenCode redCode((groups - 1) / groupsPerRed + 1);
    greenCode.addDeclaration(bits, greenAlphabet);
    redCode.addDeclaration(bits, colourAlphabet);
    for (int code = 2; code < codesPerGroup; ++code)
        addSingleSymbolCode(bits, 0); // blue, alpha, distance
    for (int pixel = 0; pixel < entropySide * entropySide; ++pixel) {
        const int group = pixel % groups;
        greenCode.addSymbol(bits, group % groupsPerRed);
        redCode.addSymbol(bits, group / groupsPerRed);
    }

    // Each group's five codes of one symbol; the pixels then take no bits.
    for (int group = 0; group < groups; ++group) {
        for (int code = 0; code < codesPerGroup; ++code)
            addSingleSymbolCode(bits, 0);
    }

    const QByteArray stream = bits.bytes();
    QByteArray chunk = "VP8L" + littleEndian32(quint32(stream.size())) + stream;
    if (stream.size() % 2 != 0)
        chunk += '\0';
    return "RIFF" + littleEndian32(quint32(4 + chunk.size())) + "WEBP" + chunk;
}

} // namespace tolvaran::fixtures
