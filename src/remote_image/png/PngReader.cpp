#include "remote_image/png/PngReader.h"

#include "remote_image/png/PngImageData.h"
#include "remote_image/png/RowShrinker.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

namespace tolvaran::markdown {

namespace {

constexpr int signatureBytes = 8;
// The header chunk comes first: its length and type, then the picture's width and height.
constexpr int headerBytes = signatureBytes + 8 + 13;
constexpr int widthOffset = signatureBytes + 8;
// Chunks of compressed text and colour profiles: libpng would inflate each (up to 8 MB, of a
// few kilobytes of file) to hand over what nothing here uses.
constexpr png_byte unusedChunks[] = "tEXt\0zTXt\0iTXt\0iCCP";
// How much of the file libpng is handed at a time. The stop is checked between pieces; a
// piece inflates to at most the rows it holds, and libpng goes through what follows the last
// row only as far as the end of its piece (checking its chunks' sums, inflating none of it).
constexpr qsizetype pieceBytes = 64 * 1024;

// How the rows are kept. A palette, or grey of up to 8 bits, keeps the bytes a pixel that Qt's
// reader gives it: a value a byte (a bit at 1 bit a pixel) in a table of colours, or a level
// of grey a byte; 16-bit grey is rounded to 8. A quarter of BGRA or less, and read as fast as
// Qt's reader reads it: libpng's expansion to BGRA takes three passes over each row. Every
// other picture is expanded by libpng to BGRA.
enum class Layout
{
    colour,
    grey,
    indexed,
    mono,
};

// What libpng's callbacks fill in, reached through its progressive pointer.
struct Reading
{
    // The size the header declares, checked against the limit before anything is read, and
    // the size it is shrunk to as its rows come (the same where it is read whole).
    QSize declared;
    QSize fitted;
    bool started = false;
    bool interlaced = false;
    bool transparent = false;
    Layout layout = Layout::colour;
    // Indexed and mono rows' colour of each value, as a colour table holds it, and
    // premultiplied, for shrinking.
    std::array<QRgb, 256> colours{};
    int colourCount = 0;
    std::array<QRgb, 256> premultiplied{};
    // Rows shrunk as they come into `shrinker`, by way of `row` where they are made BGRA
    // first; or else the whole picture. Both set aside once the header is read.
    std::optional<RowShrinker> shrinker;
    std::vector<QRgb> row;
    QImage image;
    uchar *bits = nullptr;
    qsizetype stride = 0;
};

void ignoreWarning(png_structp, png_const_charp) {}

// libpng's own handler would print each error of a damaged file on the standard error too.
[[noreturn]] void failQuietly(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// libpng reports an error by jumping back to the setjmp of feed(), out of libpng and the
// callbacks below: none of them holds an object with a destructor while it calls libpng, so
// that the jump skips nothing that must run.

// The colours of a palette, or of grey of up to 8 bits, for each value of `bitDepth` bits.
void setColours(png_structp png, png_infop info, Reading *reading, int bitDepth)
{
    const int count = 1 << bitDepth;
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    png_color_16p transparentGrey = nullptr;
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_get_tRNS(png, info, &alphas, &alphaCount, &transparentGrey);
    if (png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE) {
        png_colorp palette = nullptr;
        int paletteCount = 0;
        png_get_PLTE(png, info, &palette, &paletteCount);
        // Values a palette does not name are black, as libpng's expansion makes them.
        for (int i = 0; i < count; ++i) {
            const int alpha = alphas && i < alphaCount ? alphas[i] : 0xff;
            reading->colours[i] = i < paletteCount ? qRgba(palette[i].red, palette[i].green,
                                                           palette[i].blue, alpha)
                                                   : qRgb(0, 0, 0);
        }
    } else {
        const int largest = count - 1;
        // Only the bits of the picture's depth, as libpng's expansion compares them: a grey
        // named with bits above them is transparent interlaced or not.
        const int transparent = transparentGrey ? transparentGrey->gray & largest : -1;
        for (int value = 0; value < count; ++value) {
            const int grey = value * 255 / largest;
            reading->colours[value] = value == transparent ? 0 : qRgb(grey, grey, grey);
        }
    }
    reading->colourCount = count;
    for (int i = 0; i < count; ++i)
        reading->premultiplied[i] = qPremultiply(reading->colours[i]);
}

// Chooses how the rows are kept, with the colours of those looked up.
Layout layoutOf(png_structp png, png_infop info, Reading *reading)
{
    const png_byte colourType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth >= 8
        && !png_get_valid(png, info, PNG_INFO_tRNS))
        return Layout::grey;
    // A transparent grey of 16 bits has no place in a table of 8-bit values.
    if ((colourType != PNG_COLOR_TYPE_PALETTE && colourType != PNG_COLOR_TYPE_GRAY)
        || bitDepth > 8)
        return Layout::colour;
    setColours(png, info, reading, bitDepth);
    return bitDepth == 1 ? Layout::mono : Layout::indexed;
}

// Sets libpng's transformations to 8-bit BGRA, as QImage::Format_ARGB32 lays it out in memory.
void setExpansion(png_structp png)
{
    png_set_scale_16(png);
    png_set_expand(png);
    png_set_gray_to_rgb(png);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    png_set_bgr(png);
    png_set_filler(png, 0xff, PNG_FILLER_AFTER);
#else
    png_set_swap_alpha(png);
    png_set_filler(png, 0xff, PNG_FILLER_BEFORE);
#endif
}

// The format of the pixels shrunk as they come: indexed and mono rows are looked up as BGRA.
QImage::Format shrunkFormat(Layout layout)
{
    return layout == Layout::grey ? QImage::Format_Grayscale8
                                  : QImage::Format_ARGB32_Premultiplied;
}

QImage::Format wholeFormat(const Reading &reading)
{
    switch (reading.layout) {
    case Layout::grey:
        return QImage::Format_Grayscale8;
    case Layout::indexed:
        return QImage::Format_Indexed8;
    case Layout::mono:
        return QImage::Format_Mono;
    case Layout::colour:
        break;
    }
    return reading.transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32;
}

// Sets aside the shrinker from within libpng's callback, which nothing thrown may leave.
bool setAsideShrinker(Reading *reading) noexcept
{
    try {
        reading->shrinker.emplace(reading->declared, reading->fitted,
                                  shrunkFormat(reading->layout));
        if (reading->layout != Layout::grey)
            reading->row.resize(size_t(reading->declared.width()));
    } catch (const std::bad_alloc &) {
        reading->shrinker.reset();
        return false;
    }
    return !reading->shrinker->isNull();
}

bool setAsideImage(Reading *reading)
{
    reading->image = QImage(reading->declared, wholeFormat(*reading));
    if (reading->image.isNull())
        return false;
    // libpng fills a row's last byte only as far as its last pixel.
    if (reading->layout == Layout::mono)
        reading->image.fill(0);
    reading->bits = reading->image.bits();
    reading->stride = reading->image.bytesPerLine();
    return true;
}

// Sets the transformations, and the pixels aside.
void readHeader(png_structp png, png_infop info)
{
    auto *reading = static_cast<Reading *>(png_get_progressive_ptr(png));
    if (QSize(int(png_get_image_width(png, info)), int(png_get_image_height(png, info)))
        != reading->declared)
        png_error(png, "not the size declared");
    reading->transparent = (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA)
                           || png_get_valid(png, info, PNG_INFO_tRNS);
    reading->layout = layoutOf(png, info, reading);
    switch (reading->layout) {
    case Layout::colour:
        setExpansion(png);
        break;
    case Layout::grey:
        png_set_scale_16(png);
        break;
    case Layout::indexed:
        // One byte a value, below 8 bits too.
        png_set_packing(png);
        break;
    case Layout::mono:
        break;
    }
    reading->interlaced = png_set_interlace_handling(png) > 1;
    // An interlaced picture's rows come once a pass, each pass filling in more of their
    // pixels: it is read whole, for the caller to shrink.
    const bool shrinks = !reading->interlaced && reading->fitted != reading->declared
                         && RowShrinker::holdsLess(reading->declared, reading->fitted,
                                                   shrunkFormat(reading->layout));
    // Looked up a value a byte.
    if (shrinks && reading->layout == Layout::mono)
        png_set_packing(png);
    png_read_update_info(png, info);
    const png_size_t width = png_size_t(reading->declared.width());
    const png_size_t rowBytes = reading->layout == Layout::colour ? width * 4
                                : reading->layout == Layout::mono && !shrinks ? (width + 7) / 8
                                                                              : width;
    if (png_get_rowbytes(png, info) != rowBytes)
        png_error(png, "unexpected row layout");
    reading->started = true;
    if (!(shrinks ? setAsideShrinker(reading) : setAsideImage(reading)))
        png_error(png, "no memory for the pixels");
}

void readRow(png_structp png, png_bytep row, png_uint_32 rowNumber, int)
{
    auto *reading = static_cast<Reading *>(png_get_progressive_ptr(png));
    if (!reading->started || !row || rowNumber >= png_uint_32(reading->declared.height()))
        return;
    if (!reading->shrinker) {
        png_progressive_combine_row(png, reading->bits + qsizetype(rowNumber) * reading->stride,
                                    row);
        return;
    }
    const int width = reading->declared.width();
    QRgb *pixels = reading->row.data();
    switch (reading->layout) {
    case Layout::grey:
        reading->shrinker->addRow(row);
        return;
    case Layout::indexed:
    case Layout::mono:
        for (int x = 0; x < width; ++x)
            pixels[x] = reading->premultiplied[row[x]];
        break;
    case Layout::colour:
        std::memcpy(pixels, row, size_t(width) * sizeof(QRgb));
        if (reading->transparent) {
            for (int x = 0; x < width; ++x)
                pixels[x] = qPremultiply(pixels[x]);
        }
        break;
    }
    reading->shrinker->addRow(reinterpret_cast<const uchar *>(pixels));
}

// Whether every row has come: libpng counts them through the last of its passes.
bool allRowsRead(png_structp png, const Reading &reading)
{
    if (!reading.started)
        return false;
    if (reading.interlaced)
        return png_get_current_pass_number(png) >= 7;
    return png_get_current_row_number(png) >= png_uint_32(reading.declared.height());
}

// Hands libpng one piece of the file; false when it found the file damaged.
bool feed(png_structp png, png_infop info, png_bytep piece, qsizetype length)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_process_data(png, info, piece, png_size_t(length));
    return true;
}

} // namespace

bool PngReader::handles(const QByteArray &bytes)
{
    return bytes.size() >= signatureBytes
           && png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.constData()), 0,
                          signatureBytes)
                  == 0;
}

QSize PngReader::declaredSize(const QByteArray &bytes)
{
    if (!handles(bytes) || bytes.size() < headerBytes
        || bytes.mid(signatureBytes, 8) != QByteArray("\0\0\0\x0dIHDR", 8))
        return {};
    const auto *header = reinterpret_cast<png_const_bytep>(bytes.constData()) + widthOffset;
    const png_uint_32 width = png_get_uint_32(header);
    const png_uint_32 height = png_get_uint_32(header + 4);
    // PNG allows 31 bits a side.
    if (width == 0 || height == 0 || width > PNG_UINT_31_MAX || height > PNG_UINT_31_MAX)
        return {};
    return QSize(int(width), int(height));
}

RemoteImageResult PngReader::read(const QByteArray &bytes, qint64 maximumPixels,
                                  QSize maximumSize, const std::stop_token &stop)
{
    Reading reading;
    reading.declared = declaredSize(bytes);
    if (!reading.declared.isValid())
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    if (qint64(reading.declared.width()) * reading.declared.height() > maximumPixels)
        return RemoteImageError{RemoteImageErrorKind::imageTooLarge, {}};
    switch (PngImageData::check(bytes, reading.declared, stop)) {
    case PngImageData::Check::sound:
        break;
    case PngImageData::Check::damaged:
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    case PngImageData::Check::abandoned:
        return RemoteImageError{RemoteImageErrorKind::abandoned, {}};
    }
    reading.fitted = fittedPictureSize(reading.declared, maximumSize);

    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failQuietly, ignoreWarning);
    if (!png)
        return RemoteImageError{RemoteImageErrorKind::cannotDecodeContentData, {}};
    png_infop info = png_create_info_struct(png);
    png_set_progressive_read_fn(png, &reading, readHeader, readRow, nullptr);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, unusedChunks,
                                int(sizeof unusedChunks / 5));
    // libpng takes the pieces as writable, but only reads them.
    auto *file = reinterpret_cast<png_bytep>(const_cast<char *>(bytes.constData()));
    bool intact = info != nullptr;
    bool complete = false;
    for (qsizetype offset = 0; intact && !complete && offset < bytes.size()
                               && !stop.stop_requested();
         offset += pieceBytes) {
        intact = feed(png, info, file + offset, std::min(pieceBytes, bytes.size() - offset));
        // Whatever follows the last row, damaged or not, takes nothing from the picture.
        complete = allRowsRead(png, reading);
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (!complete) {
        return RemoteImageError{stop.stop_requested() && intact
                                    ? RemoteImageErrorKind::abandoned
                                    : RemoteImageErrorKind::cannotDecodeContentData,
                                {}};
    }
    QImage image = reading.shrinker ? reading.shrinker->take() : std::move(reading.image);
    if (image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono)
        image.setColorTable(QList<QRgb>(reading.colours.begin(),
                                        reading.colours.begin() + reading.colourCount));
    // In place: shrinking would otherwise make a premultiplied copy of the whole picture.
    if (image.format() == QImage::Format_ARGB32)
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    // Shrunk opaque pixels stay opaque, and premultiplied they are laid out as RGB32.
    if (!reading.transparent && image.format() == QImage::Format_ARGB32_Premultiplied)
        image.reinterpretAsFormat(QImage::Format_RGB32);
    image.setDevicePixelRatio(double(image.width()) / reading.declared.width());
    return DecodedImage(std::move(image), reading.declared);
}

} // namespace tolvaran::markdown
