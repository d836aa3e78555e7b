#include "remote_image/DecodedImage.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tolvaran::markdown {

QSize fittedPictureSize(QSize pictureSize, QSize maximumSize)
{
    if (!maximumSize.isValid() || pictureSize.isEmpty())
        return pictureSize;
    const int maximumWidth = std::max(1, maximumSize.width());
    const int maximumHeight = std::max(1, maximumSize.height());
    if (pictureSize.width() <= maximumWidth && pictureSize.height() <= maximumHeight)
        return pictureSize;
    const double scale = std::min(double(maximumWidth) / pictureSize.width(),
                                  double(maximumHeight) / pictureSize.height());
    // Rounded to the nearest pixel: the factor is at most each side's own, so neither side
    // rounds past its maximum.
    return {std::max(1, int(std::lround(pictureSize.width() * scale))),
            std::max(1, int(std::lround(pictureSize.height() * scale)))};
}

QSize maximumSizeForWidth(qreal width)
{
    const double limited = std::min<double>(std::ceil(std::max<qreal>(width, 1)),
                                            std::numeric_limits<int>::max());
    return {int(limited), std::numeric_limits<int>::max()};
}

} // namespace tolvaran::markdown
