#include "remote_image/DeepPngReader.h"

#include <png.h>

#include <cstring>

namespace tolvaran::markdown {

namespace {

constexpr int signatureBytes = 8;
// The IHDR chunk's bit depth: after the signature, the chunk's length and type, and the
// picture's width and height.
constexpr int bitDepthOffset = signatureBytes + 8 + 8;

struct MemorySource
{
    const png_byte *data = nullptr;
    png_size_t size = 0;
    png_size_t offset = 0;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto *source = static_cast<MemorySource *>(png_get_io_ptr(png));
    if (length > source->size - source->offset)
        png_error(png, "the file ends early");
    std::memcpy(out, source->data + source->offset, length);
    source->offset += length;
}

void ignoreWarning(png_structp, png_const_charp) {}

// libpng's own handler would print each error of a damaged file on the standard error too.
[[noreturn]] void failQuietly(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

// libpng reports an error by jumping back to the setjmp of the step that called it. The two
// steps below make no object with a destructor and hold none of their own, so that the jump
// skips nothing that must run.

// Reads the header and sets the transformations to 8-bit BGRA (as QImage::Format_ARGB32 lays
// it out in memory); the number of interlace passes, 0 when the file is damaged.
int readHeader(png_structp png, png_infop info, png_uint_32 *width, png_uint_32 *height,
               bool *transparent)
{
    if (setjmp(png_jmpbuf(png)))
        return 0;
    png_read_info(png, info);
    const png_byte colourType = png_get_color_type(png, info);
    *transparent = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
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
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != png_size_t(*width) * 4)
        return 0;
    return passes;
}

bool readRows(png_structp png, uchar *first, qsizetype stride, png_uint_32 height, int passes)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    // An interlaced picture's later passes fill in the rows of the earlier ones.
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 row = 0; row < height; ++row)
            png_read_row(png, first + qsizetype(row) * stride, nullptr);
    }
    return true;
}

} // namespace

bool DeepPngReader::handles(const QByteArray &bytes)
{
    return bytes.size() > bitDepthOffset
           && png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.constData()), 0,
                          signatureBytes)
                  == 0
           && bytes.at(bitDepthOffset) == 16;
}

QImage DeepPngReader::read(const QByteArray &bytes, qint64 maximumPixels)
{
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failQuietly, ignoreWarning);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    MemorySource source{reinterpret_cast<const png_byte *>(bytes.constData()),
                        png_size_t(bytes.size()), 0};
    png_set_read_fn(png, &source, readFromMemory);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool transparent = true;
    const int passes = info ? readHeader(png, info, &width, &height, &transparent) : 0;
    QImage image;
    if (passes > 0 && width > 0 && height > 0
        && qint64(width) * qint64(height) <= maximumPixels) {
        image = QImage(int(width), int(height),
                       transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (!image.isNull() && !readRows(png, image.bits(), image.bytesPerLine(), height, passes))
            image = QImage();
        // In place: shrinking would otherwise make a premultiplied copy of the whole picture.
        if (transparent && !image.isNull())
            image.convertTo(QImage::Format_ARGB32_Premultiplied);
    }
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return image;
}

} // namespace tolvaran::markdown
