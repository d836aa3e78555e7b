#pragma once

#include <QList>
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
    // Where `frame` goes to lie inside `available`: where it is, where it does; else moved in
    // as little as it takes, its top left kept inside where it is the larger.
    static QPoint placedInside(const QRect &frame, const QRect &available);
    // Where a frame that was `was` goes at its new `size` when its screen's free area changes
    // from `before` to `after` (a panel came, the screen shrank): each of its edges that lay
    // inside `before` stays inside `after`, moved in as little as it takes, its top left first;
    // an edge the user left outside stays outside.
    static QPoint keptInside(const QRect &was, const QSize &size, const QRect &before,
                             const QRect &after);
    // The frame to fit, from the one Qt reports for a window at `ratio` window-system pixels to
    // each of its own. Qt rounds the frame's thickness, the window's place and its size to its
    // own pixels each on its own: at a fractional ratio the frame drawn may reach almost a pixel
    // of Qt's further on each side than the one reported.
    static QMargins frameToFit(const QMargins &reported, qreal ratio);
    // How much of `frame` shows on `screens`, in pixels.
    static qint64 shownArea(const QRect &frame, const QList<QRect> &screens);
    // Whether less than half of `frame` shows on `screens`.
    static bool isMostlyOff(const QRect &frame, const QList<QRect> &screens);
    // The one of `screens` that shows most of `frame`, or where none shows any, the one
    // nearest to its centre; -1 where there are none.
    static qsizetype nearest(const QRect &frame, const QList<QRect> &screens);

    bool operator==(const WindowFit &) const = default;
};

} // namespace tolvaran
