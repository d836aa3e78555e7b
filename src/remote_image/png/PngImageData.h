#pragma once

#include <QByteArray>
#include <QSize>

#include <optional>
#include <stop_token>

namespace tolvaran::markdown {

// The image data of a PNG file as its chunks hold it, checked before any row is read.
// libpng checks a chunk's checksum only once it has read to the chunk's end, and the reading
// stops at the last row, most often inside the chunk that holds it: damage there that inflates
// to other rows rather than to an error would be drawn. So every chunk of image data wholly in
// the file is checked first (which inflates nothing). A file cut short in its image data (its
// last chunk's checksum lost, as a transfer ended early leaves it) is read only where the rows
// come wholly from chunks checked so, or else where its compressed stream ends within the file
// with its own check (zlib's Adler-32, of every byte the rows inflate to) found right: a
// flipped bit there is otherwise drawn without an error.
class PngImageData final
{
public:
    enum class Check { sound, damaged, abandoned };

    // The bytes a picture's rows inflate to: each row's filter byte and its packed pixels, an
    // interlaced picture's row by row through each of its seven passes. None where the colour
    // type and depth are none that PNG has. Far from overflowing for a picture within any
    // pixel limit a 64-bit count of bytes allows.
    static std::optional<qint64> rowBytes(QSize size, int colourType, int bitDepth,
                                          bool interlaced);

    // Whether the image data of `png`, a file whose header PngReader::declaredSize read as
    // `declared`, may be read as above: damaged where a chunk's checksum is wrong, or where
    // the file is cut short in the data of its rows and their stream does not end right after
    // them with its check right; abandoned once `stop` is requested. What follows the image
    // data is left to the reading. Inflates only a file cut short, up to its rows.
    static Check check(const QByteArray &png, QSize declared, const std::stop_token &stop);
};

} // namespace tolvaran::markdown
