#include "widgets/screen_fit/WindowFit.h"

#include <algorithm>

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

} // namespace tolvaran
