#include "support/markdown/HostilePictures.h"

#include <jpeglib.h>

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
QByteArray checkerboard(QSize size)
{
    constexpr char dark = 68;
    constexpr char light = char(188);
    QByteArray pixels(qsizetype(size.width()) * size.height(), '\0');
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            pixels[qsizetype(y) * size.width() + x] = (x + y) % 2 ? light : dark;
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
    QByteArray pixels = checkerboard(size);
    jpeg_compress_struct compressor{};
    jpeg_error_mgr errors{};
    compressor.err = jpeg_std_error(&errors);
    jpeg_create_compress(&compressor);
    unsigned char *written = nullptr;
    unsigned long writtenBytes = 0;
    jpeg_mem_dest(&compressor, &written, &writtenBytes);
    compressor.image_width = JDIMENSION(size.width());
    compressor.image_height = JDIMENSION(size.height());
    compressor.input_components = 1;
    compressor.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&compressor);
    compressor.arith_code = arithmetic ? TRUE : FALSE;
    compressor.scan_info = writtenScans;
    compressor.num_scans = int(std::size(writtenScans));
    jpeg_start_compress(&compressor, TRUE);
    while (compressor.next_scanline < compressor.image_height) {
        auto *row = reinterpret_cast<JSAMPLE *>(pixels.data())
                    + qsizetype(compressor.next_scanline) * size.width();
        jpeg_write_scanlines(&compressor, &row, 1);
    }
    jpeg_finish_compress(&compressor);
    jpeg_destroy_compress(&compressor);
    QByteArray jpeg(reinterpret_cast<const char *>(written), qsizetype(writtenBytes));
    std::free(written);
    // The file ends with its end marker; the empty scans go before it.
    const QByteArray end = jpeg.right(2);
    Q_ASSERT(uchar(end[1]) == endOfImage);
    jpeg.chop(2);
    const QByteArray scan = emptyRefinementScan();
    for (int i = 0; i < refinements; ++i)
        jpeg += scan;
    return jpeg + end;
}

} // namespace tolvaran::fixtures
