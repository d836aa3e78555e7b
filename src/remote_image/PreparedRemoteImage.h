#pragma once

#include <QByteArray>
#include <QList>

namespace tolvaran::markdown {

// Bytes found to hold a picture that may be decoded, with what decoding it is expected to
// cost: enough to tell a costly picture from a cheap one before any pixel is drawn.
struct PreparedRemoteImage
{
    enum class Kind { raster, svg };

    Kind kind = Kind::raster;
    // An SVG's text, inflated when it came compressed; the PNG file an icon holds; otherwise
    // the file as it came.
    QByteArray bytes;
    // Pixels for a raster picture; for an SVG, its elements times the pixels each may cover.
    qint64 estimatedCost = 0;
    // The reader of Qt's that decodes a raster picture; empty where PngReader does.
    QByteArray readerName;
    // The SVG pictures embedded in an SVG, drawn within its budget (SvgRasterizer).
    QList<QByteArray> embeddedDocuments;
};

} // namespace tolvaran::markdown
