#pragma once

#include <QImage>
#include <QSize>

namespace tolvaran::markdown {

// A picture's pixels as decoded, and the picture's own size: decoding may make the pixels
// smaller than the picture (to the size it is drawn at), while what the picture declares,
// its ideal size among it, stays that of the whole picture.
struct DecodedImage
{
    DecodedImage(QImage decoded)
        : image(std::move(decoded))
        , pictureSize(image.size())
    {
    }
    DecodedImage(QImage decoded, QSize size)
        : image(std::move(decoded))
        , pictureSize(size)
    {
    }

    QImage image;
    QSize pictureSize;
};

// The size a picture of `pictureSize` is decoded at for `maximumSize` (device pixels): the
// picture's own size where it fits (a picture is never decoded larger than it is, which would
// add no detail), else shrunk to fit with its proportions kept, at least one pixel each way.
// An invalid `maximumSize` stands for the whole picture.
QSize fittedPictureSize(QSize pictureSize, QSize maximumSize);

// The maximum size for pictures laid out `width` device pixels wide, whatever their height.
QSize maximumSizeForWidth(qreal width);

} // namespace tolvaran::markdown
