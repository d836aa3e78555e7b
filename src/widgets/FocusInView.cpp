#include "widgets/FocusInView.h"

#include <QApplication>
#include <QScrollArea>

namespace tolvaran {

namespace {
// Room left beside the focused control, so that its focus frame shows too.
constexpr int focusMargin = 8;
} // namespace

void keepFocusInView(QScrollArea *area)
{
    QObject::connect(qApp, &QApplication::focusChanged, area, [area](QWidget *, QWidget *now) {
        QWidget *content = area->widget();
        if (now && content && content->isAncestorOf(now))
            area->ensureWidgetVisible(now, focusMargin, focusMargin);
    });
}

} // namespace tolvaran
