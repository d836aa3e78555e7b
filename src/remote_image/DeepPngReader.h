#pragma once

#include <QByteArray>
#include <QImage>

namespace tolvaran::markdown {

// Reads PNG files of 16 bits a channel at 8 bits a channel, 4 bytes a pixel, with libpng.
// Qt's reader makes 8 bytes a pixel of them, and shrinking those makes a second copy as large
// (256 MB together for a picture of 4096 by 4096, where one of 8 bits a channel takes 64):
// image tools write gradients at 16 bits by default, so such pictures are common in
// documents. Channels are rounded to 8 bits as a screen shows them; colours are not
// otherwise converted, as Qt's reader does not convert them either.
class DeepPngReader final
{
public:
    // Whether `bytes` begin as a PNG file of 16 bits a channel.
    static bool handles(const QByteArray &bytes);
    // The whole picture as Format_ARGB32_Premultiplied (Format_RGB32 where it has no
    // transparency); a null image where the file is damaged or holds more than
    // `maximumPixels`.
    static QImage read(const QByteArray &bytes, qint64 maximumPixels);
};

} // namespace tolvaran::markdown
