#include "widgets/screen_fit/WindowFit.h"

#include <algorithm>
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

qint64 areaOf(const QRect &rect)
{
    return rect.isEmpty() ? 0 : qint64(rect.width()) * rect.height();
}

} // namespace

bool WindowFit::isMostlyOff(const QRect &frame, const QList<QRect> &screens)
{
    qint64 shown = 0;
    for (const QRect &screen : screens)
        shown += areaOf(screen.intersected(frame));
    return 2 * shown < areaOf(frame);
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
