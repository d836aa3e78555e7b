#pragma once

#include <QByteArray>
#include <QSize>

#include <optional>

namespace tolvaran::markdown {

// The picture a WebP file declares, read from the header of its first chunk before any of it
// is decoded: the size of a lossy or lossless picture's own header, or the canvas of an
// extended file (one with transparency, colour profiles or frames), which is what Qt's reader
// declares and draws on. libwebp decodes in time that grows with the pixels; Qt's reader
// decodes the first frame of an animation alone, as it decodes the first frame of any file,
// into a picture of its own beside the canvas it draws it on, never larger than the canvas.
struct WebpCanvas final
{
    QSize size;
    bool animated = false;

    // None where `bytes` are no WebP file, or its first chunk is none of those three or too
    // short to hold its header.
    static std::optional<WebpCanvas> read(const QByteArray &bytes);
};

} // namespace tolvaran::markdown
