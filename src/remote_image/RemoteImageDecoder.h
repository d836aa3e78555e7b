#pragma once

#include "remote_image/PreparedRemoteImage.h"
#include "remote_image/RemoteImageDecodeLimits.h"
#include "remote_image/RemoteImageResult.h"

#include <QByteArray>

#include <stop_token>
#include <variant>

namespace tolvaran::markdown {

// Turns downloaded bytes into an image, first frame only, of the formats that ImageFormats
// names and no other: raster pictures with Qt's image readers, SVG (plain or compressed) with
// Qt's SVG renderer through SvgSource and SvgRasterizer, within RemoteImageDecodeLimits. Each
// picture is checked before it is decoded to decode within a bound set by the size it
// declares (RasterBounds), and refused where it would not. A picture drawn smaller than it is
// decodes to the size it is drawn at: a raster picture scaled by its reader (JPEG decodes
// scaled, at a fraction of the cost, a PNG shrunk as its rows come), an SVG drawn at its own
// size and then shrunk. PNG files, those that icons hold too, are read by PngReader: at 8 bits
// a channel whatever their depth, and no further into their image data than their last row.
// Every decoding stops when its stop is requested: Qt's readers read through a
// StoppableDevice, and stop at their next read. Runs on any thread.
class RemoteImageDecoder final
{
public:
    static constexpr qint64 maximumPixels = RemoteImageDecodeLimits::defaultMaximumPixels;
    // What a reader may allocate for one image, in MiB: the pixel budget at 8 bytes a pixel
    // (16-bit colour), for readers that cannot tell their size before decoding.
    static constexpr int allocationLimitMiB = int(maximumPixels * 8 / (1024 * 1024));
    // A picture expected to cost more than this is costly: the loader decodes those one at a
    // time, aside from the rest, so that they hold up no other picture.
    static constexpr qint64 costlyEstimate = RemoteImageDecodeLimits::defaultDrawingBudget / 16;

    explicit RemoteImageDecoder(RemoteImageDecodeLimits limits = {});

    // What the bytes hold and what decoding them should cost, without decoding them: a raster
    // picture's declared size and work are checked here (RasterBounds), an SVG's text made
    // safe (SvgSource). Of a format not decoded here, cannotDecodeContentData; past the work,
    // imageTooComplex; abandoned when `stop` is requested meanwhile.
    std::variant<PreparedRemoteImage, RemoteImageError>
    prepare(const QByteArray &bytes, const std::stop_token &stop = {}) const;
    // Decodes a prepared picture to fit within `maximumSize` (fittedPictureSize; invalid for
    // the whole picture); abandoned when `stop` is requested before it is done.
    RemoteImageResult decode(const PreparedRemoteImage &image, const std::stop_token &stop = {},
                             QSize maximumSize = {}) const;
    // Both steps at once.
    RemoteImageResult decode(const QByteArray &bytes, const std::stop_token &stop = {},
                             QSize maximumSize = {}) const;
    // `image` shrunk to fit within `maximumSize`, smoothly, with the picture's size kept.
    static DecodedImage fitted(const DecodedImage &image, QSize maximumSize);

private:
    // Decoded pixels as they are kept: at most 4 bytes a pixel, and with their pixels per
    // picture pixel as their device pixel ratio (what a view of a picture at one pixel per
    // point draws them at).
    static QImage compact(QImage pixels, QSize pictureSize);

    RemoteImageDecodeLimits m_limits;
};

} // namespace tolvaran::markdown
