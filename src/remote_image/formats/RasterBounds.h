#pragma once

#include "remote_image/RemoteImageDecodeLimits.h"
#include "remote_image/RemoteImageError.h"
#include "remote_image/formats/ImageFormats.h"

#include <QByteArray>
#include <QSize>

#include <optional>
#include <stop_token>
#include <variant>

namespace tolvaran::markdown {

// Which reader decodes a picture: ours where there is one (PngReader, for PNG files and the
// PNG files that icons hold), or Qt's alone, for the pictures embedded in an SVG, which Qt's
// SVG renderer decodes itself.
enum class PictureReader { ours, qts };

// How a raster picture is decoded, and what decoding it is expected to cost.
struct RasterPlan
{
    // The reader of Qt's that decodes `bytes`; empty where PngReader reads them.
    QByteArray readerName;
    // The file, or the PNG file an icon holds.
    QByteArray bytes;
    // In pixels, those set aside or gone over, whichever are more; a JPEG of more scans than
    // a sound progressive file counts them too.
    qint64 estimatedCost = 0;
};

// Checks, before any pixel is decoded, that a raster picture decodes within a bound set by
// the size it declares, the pictures of one file (an SVG's embedded pictures) within the
// limits together: the pixels their readers set aside or go over, whichever are more, within
// maximumPixels, their JPEG scans times their pixels within scanBudget, the compressed text of
// their PNG files within PngDataBounds::textBudget.
// What each format costs and how it is bounded is told by the type that reads it (JpegScans,
// GifFrame, IconEntry, PngDataBounds, WebpCanvas); the others (BMP, PBM, PGM, PPM, XBM and
// XPM) cost what their declared pixels do.
class RasterBounds final
{
public:
    RasterBounds(const RemoteImageDecodeLimits &limits, PictureReader reader,
                 std::stop_token stop = {});

    // `bytes` in `format`, as Qt's reader named `readerName` tells it, within what the
    // pictures checked before left. imageTooLarge past the pixels, imageTooComplex past the
    // work, cannotDecodeContentData where the file is damaged or declares no size.
    std::variant<RasterPlan, RemoteImageError> check(const QByteArray &bytes,
                                                     const QByteArray &readerName,
                                                     ImageFormat format);

private:
    // Charges the pixels of `size`, or `worked` where the reader goes over more.
    std::optional<RemoteImageError> spendPixels(QSize size, qint64 worked = 0);
    std::variant<RasterPlan, RemoteImageError> checkPng(const QByteArray &bytes);
    std::variant<RasterPlan, RemoteImageError> checkJpeg(const QByteArray &bytes);
    std::variant<RasterPlan, RemoteImageError> checkGif(const QByteArray &bytes);
    std::variant<RasterPlan, RemoteImageError> checkIcon(const QByteArray &bytes,
                                                         const QByteArray &readerName);
    std::variant<RasterPlan, RemoteImageError> checkDeclared(const QByteArray &bytes,
                                                             const QByteArray &readerName);
    std::variant<RasterPlan, RemoteImageError> checkWebp(const QByteArray &bytes,
                                                         const QByteArray &readerName);

    const RemoteImageDecodeLimits m_limits;
    const PictureReader m_reader;
    const std::stop_token m_stop;
    qint64 m_pixels = 0;
    qint64 m_scanPixels = 0;
    qint64 m_textBytes = 0;
};

} // namespace tolvaran::markdown
