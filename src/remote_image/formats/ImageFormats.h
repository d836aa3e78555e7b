#pragma once

#include <QByteArray>

#include <optional>

namespace tolvaran::markdown {

// The kinds of picture that are decoded, each within a bound set by the size it declares.
enum class ImageFormat {
    png,    // PngReader; inside an SVG, Qt's reader once PngDataBounds has checked the file
    jpeg,   // Qt's reader, once JpegScans has counted its scans
    gif,    // Qt's reader, once GifFrame has followed the codes of its first frame
    icon,   // ICO and CUR: their picture as IconEntry finds it, a PNG read as a PNG is
    bmp,    // Qt's readers, whose work is that of the pixels they declare
    anymap, // PBM, PGM and PPM
    xbm,
    xpm,
    webp, // Qt's reader (Qt's image-format plug-ins), its first frame, once WebpCanvas has read
          // its size
    svg,  // plain or compressed: SvgSource and SvgRasterizer
};

// The one place that names the formats decoded. A file's format is the one Qt's readers tell
// from its content, as QImage::fromData (and so Qt's SVG renderer, for an embedded picture)
// chooses its reader: whatever else a machine's image plug-ins read (TIFF, TGA, ...) may take
// minutes for a file of a few kilobytes and cannot be stopped, and is refused. WebP is read by
// Qt's plug-in where it is installed (scripts/setup.sh installs it): it decodes the whole file
// in one call that no stop reaches, but libwebp's work is that of the pixels declared.
class ImageFormats final
{
public:
    // The name of the reader of Qt's that takes `bytes`, told from their content; empty when
    // none does.
    static QByteArray qtReaderFor(const QByteArray &bytes);
    // The format that the reader of Qt's named `readerName` reads, when it is one decoded here.
    static std::optional<ImageFormat> decodedBy(const QByteArray &readerName);
};

} // namespace tolvaran::markdown
