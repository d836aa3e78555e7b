#pragma once

#include "remote_image/RemoteImageResult.h"

#include <QByteArray>
#include <QSize>

#include <stop_token>

namespace tolvaran::markdown {

// Reads PNG files of every depth and colour type with libpng. A palette, or grey without a
// transparent colour, comes at the bytes a pixel Qt's reader gives it: Format_Mono at 1 bit,
// Format_Indexed8 up to 8 bits (grey with a transparent colour too), Format_Grayscale8 at 8
// and 16 bits. Every other picture comes at 4 bytes a pixel: Format_ARGB32_Premultiplied, or
// Format_RGB32 where the picture has no transparency; so does a palette shrunk as it is read,
// while grey stays Format_Grayscale8. Channels are rounded to 8 bits as a screen shows them;
// colours are not otherwise converted, as Qt's reader does not convert them either.
//
// Ours rather than Qt's reader, for two reasons. A picture of 16 bits a channel would come
// from Qt's at 8 bytes a pixel, and shrinking it makes a second copy as large (256 MB together
// at 4096 by 4096, where 8 bits take 64); image tools write gradients at 16 bits by default.
// And Qt's reader, as libpng's reading of whole rows does, inflates the image data past the
// last row to find its end: a file of a few megabytes can hold gigabytes of it, a minute of
// work that nothing stops. Here libpng's progressive reader is handed the file a piece at a
// time: it inflates nothing past the last row, and it is handed nothing more once the last
// row is in or the stop is requested. Text and colour profiles, which nothing here shows, are
// passed over without being inflated.
class PngReader final
{
public:
    // Whether `bytes` begin as a PNG file.
    static bool handles(const QByteArray &bytes);
    // The size its header declares, read from the first chunk alone (Qt's reader, asked the
    // size, inflates every text chunk before the image data); invalid where `bytes` do not
    // begin with a PNG header of a picture at least a pixel each way.
    static QSize declaredSize(const QByteArray &bytes);
    // The picture, shrunk as it is read to fit within `maximumSize` (fittedPictureSize;
    // invalid for the whole picture) with its pixels per picture pixel as their device pixel
    // ratio; an interlaced picture comes whole, for the caller to shrink. imageTooLarge where
    // it holds more than `maximumPixels` (known from its header, before any memory is set
    // aside for it), abandoned when `stop` was requested before its last row,
    // cannotDecodeContentData where the file is damaged, a chunk of its image data fails its
    // checksum or its image data ends before the last row: a part of a picture is not shown,
    // so that a picture held from an earlier load stays drawn. What follows the image data is
    // neither read nor checked, nor is what follows the last row inflated, so a file damaged
    // only after its image data shows whole; one cut short in its image data shows only as
    // PngImageData checks it.
    static RemoteImageResult read(const QByteArray &bytes, qint64 maximumPixels,
                                  QSize maximumSize = {}, const std::stop_token &stop = {});
};

} // namespace tolvaran::markdown
