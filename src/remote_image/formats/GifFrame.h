#pragma once

#include "remote_image/RemoteImageError.h"

#include <QByteArray>
#include <QSize>

#include <variant>

namespace tolvaran::markdown {

// The first frame of a GIF file, the one Qt's reader draws, and what decoding it costs, found
// before any of it is decoded by following its codes. Each LZW code names a string of up to
// 4,096 pixels, and Qt's reader writes out every code's string, also past the frame's last
// pixel: a megabyte of codes that each name the longest string is ten seconds of work for a
// frame of one pixel. Here only the strings' lengths are followed, no pixels, so the check
// costs what reading the codes does.
struct GifFrame final
{
    // The picture Qt's reader draws the first frame on, whose pixels it sets aside: the
    // logical screen, a side the screen gives as 0 reaching to the frame's far edge. And the
    // first frame, whose pixels it goes over whatever part of it lies off that picture.
    QSize canvasSize;
    QSize frameSize;
    // What its codes write: the frame's pixels, less where its data stops early, more where
    // its codes go on past the frame's last pixel.
    qint64 pixelsWritten = 0;
    qint64 codes = 0;

    // imageTooLarge where the frame has more than `maximumPixels`; imageTooComplex where a
    // code still comes once twice the frame's pixels are written (the last code's string may
    // pass that) or the codes are more than twice its pixels (clear codes write nothing);
    // cannotDecodeContentData where the file has no frame or its codes' first width is none
    // that GIF has, and where the picture would hold nothing of the file: the frame lies off
    // the canvas, has no pixels, or its codes write none (Qt's reader then draws the canvas
    // in the background's colour alone).
    static std::variant<GifFrame, RemoteImageError> read(const QByteArray &bytes,
                                                         qint64 maximumPixels);
};

} // namespace tolvaran::markdown
