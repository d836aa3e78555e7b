#include "widgets/FocusInView.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

namespace tolvaran {

namespace {
// Room left beside the focused control, so that its focus frame shows too.
constexpr int focusMargin = 8;
} // namespace

int scrollToReveal(int viewLength, int start, int length, int margin)
{
    // The margin shrinks where the view has less room around the span.
    const int room = std::clamp((viewLength - length) / 2, 0, margin);
    const int first = start - room;
    const int end = start + length + room;
    if (end - first > viewLength || first < 0)
        return first;
    if (end > viewLength)
        return end - viewLength;
    return 0;
}

void keepFocusInView(QScrollArea *area)
{
    QObject::connect(qApp, &QApplication::focusChanged, area, [area](QWidget *, QWidget *now) {
        const QWidget *content = area->widget();
        if (!now || !content || !content->isAncestorOf(now))
            return;
        const QWidget *viewport = area->viewport();
        const QRect shown(now->mapTo(viewport, QPoint()), now->size());
        QScrollBar *across = area->horizontalScrollBar();
        across->setValue(across->value()
                         + scrollToReveal(viewport->width(), shown.x(), shown.width(),
                                          focusMargin));
        QScrollBar *down = area->verticalScrollBar();
        down->setValue(down->value()
                       + scrollToReveal(viewport->height(), shown.y(), shown.height(),
                                        focusMargin));
    });
}

} // namespace tolvaran
