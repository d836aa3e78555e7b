#include "widgets/screen_fit/WindowFit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tolvaran {

WindowFit WindowFit::fit(const QRect &available, const QMargins &frame, const QSize &leastSize,
                         const QSize &wantedSize)
{
    const QSize room = WindowFit::room(available, frame);
    WindowFit fitted;
    fitted.minimumSize = leastSize.boundedTo(room);
    fitted.size = wantedSize.boundedTo(room).expandedTo(fitted.minimumSize);
    return fitted;
}

QSize WindowFit::room(const QRect &available, const QMargins &frame)
{
    // A frame as large as the area still leaves the client a pixel: Qt refuses an empty
    // window, and the window manager then keeps what it can on screen.
    return {std::max(1, available.width() - frame.left() - frame.right()),
            std::max(1, available.height() - frame.top() - frame.bottom())};
}

QPoint WindowFit::placedInside(const QRect &frame, const QRect &available)
{
    return {std::max(available.left(),
                     std::min(frame.left(), available.right() + 1 - frame.width())),
            std::max(available.top(),
                     std::min(frame.top(), available.bottom() + 1 - frame.height()))};
}

namespace {

// How much thicker than reported a frame is taken, on each side, at a fractional ratio: what
// Qt's roundings of the frame, the window's place and its size may together leave out.
constexpr int fractionalRatioSlack = 1;

// The first and last pixels of a frame or a free area along one axis.
struct Span
{
    int first;
    int last;
};

// Along one axis: where a frame that was `was` and is now `length` long goes when the free
// span changes from `before` to `after`.
int keptInsideSpan(Span was, int length, Span before, Span after)
{
    int place = was.first;
    if (was.last <= before.last && place + length - 1 > after.last)
        place = after.last + 1 - length;
    if (was.first >= before.first && place < after.first)
        place = after.first;
    return place;
}

qint64 areaOf(const QRect &rect)
{
    return rect.isEmpty() ? 0 : qint64(rect.width()) * rect.height();
}

} // namespace

QPoint WindowFit::keptInside(const QRect &was, const QSize &size, const QRect &before,
                             const QRect &after)
{
    return {keptInsideSpan({was.left(), was.right()}, size.width(),
                           {before.left(), before.right()}, {after.left(), after.right()}),
            keptInsideSpan({was.top(), was.bottom()}, size.height(),
                           {before.top(), before.bottom()}, {after.top(), after.bottom()})};
}

QMargins WindowFit::frameToFit(const QMargins &reported, qreal ratio)
{
    if (ratio == std::round(ratio))
        return reported;
    return reported
        + QMargins(fractionalRatioSlack, fractionalRatioSlack, fractionalRatioSlack,
                   fractionalRatioSlack);
}

qint64 WindowFit::shownArea(const QRect &frame, const QList<QRect> &screens)
{
    qint64 shown = 0;
    for (const QRect &screen : screens)
        shown += areaOf(screen.intersected(frame));
    return shown;
}

bool WindowFit::isMostlyOff(const QRect &frame, const QList<QRect> &screens)
{
    return 2 * shownArea(frame, screens) < areaOf(frame);
}

qsizetype WindowFit::nearest(const QRect &frame, const QList<QRect> &screens)
{
    const QPoint centre = frame.center();
    qsizetype found = -1;
    qint64 mostShown = 0;
    qint64 leastDistance = std::numeric_limits<qint64>::max();
    for (qsizetype index = 0; index < screens.size(); ++index) {
        const QRect &screen = screens.at(index);
        const qint64 shown = areaOf(screen.intersected(frame));
        const qint64 dx = std::max({0, screen.left() - centre.x(), centre.x() - screen.right()});
        const qint64 dy = std::max({0, screen.top() - centre.y(), centre.y() - screen.bottom()});
        const qint64 distance = dx * dx + dy * dy;
        if (shown > mostShown || (mostShown == 0 && shown == 0 && distance < leastDistance)) {
            found = index;
            mostShown = shown;
            leastDistance = distance;
        }
    }
    return found;
}

} // namespace tolvaran
