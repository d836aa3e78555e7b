#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

namespace tolvaran {

// The sizes of a window's client area (what Qt sizes; the window manager draws its title bar
// and borders, `frame`, around it) on a screen whose free area is `available`: the frame
// included, the window fits that area.
struct WindowFit
{
    QSize minimumSize;
    QSize size;

    // `leastSize` is what the window needs at least and `wantedSize` the size it takes where
    // there is room; where the free area is smaller, both give way to it. The size is never
    // below the minimum.
    static WindowFit fit(const QRect &available, const QMargins &frame, const QSize &leastSize,
                         const QSize &wantedSize);
    // The largest client area whose frame fits `available`.
    static QSize room(const QRect &available, const QMargins &frame);

    bool operator==(const WindowFit &) const = default;
};

} // namespace tolvaran
