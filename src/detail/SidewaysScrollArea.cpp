#include "detail/SidewaysScrollArea.h"

#include <QEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>

namespace tolvaran {

SidewaysScrollArea::SidewaysScrollArea(QWidget *content, QWidget *parent)
    : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    setFocusPolicy(Qt::NoFocus);
    // Wider than its size hint, the content would stretch its background across the room.
    content->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    setWidget(content);
    // The area shows what lies behind it, as the content's own background does around its
    // rounded corners (QScrollArea fills both with the window's colour).
    content->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    connect(horizontalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int maximum) {
        setFocusPolicy(maximum > 0 ? Qt::StrongFocus : Qt::NoFocus);
    });
}

QSize SidewaysScrollArea::sizeHint() const
{
    const int width = (widget() ? widget()->sizeHint().width() : 0) + 2 * frameWidth();
    return {width, heightForWidth(width)};
}

QSize SidewaysScrollArea::minimumSizeHint() const
{
    const int width = QScrollArea::minimumSizeHint().width();
    return {width, heightForWidth(width)};
}

bool SidewaysScrollArea::hasHeightForWidth() const
{
    return true;
}

int SidewaysScrollArea::heightForWidth(int width) const
{
    int height = 2 * frameWidth();
    const QWidget *content = widget();
    if (!content)
        return height;
    const QSize least = content->minimumSizeHint().expandedTo(content->minimumSize());
    height += std::max(least.height(), content->sizeHint().height());
    // The scroll bar shows where the content is wider than the room: QScrollArea makes the
    // content no narrower than its least width, and scrolls the rest.
    if (width - 2 * frameWidth() < least.width())
        height += horizontalScrollBar()->sizeHint().height();
    return height;
}

bool SidewaysScrollArea::eventFilter(QObject *watched, QEvent *event)
{
    // The content's size changed (new rows, a text size): the layouts above ask again.
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QScrollArea::eventFilter(watched, event);
}

void SidewaysScrollArea::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Home:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        break;
    case Qt::Key_End:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
        QScrollArea::keyPressEvent(event);
        break;
    default:
        // Up, Down and the page keys would scroll the area's vertical range, which is empty.
        event->ignore();
        break;
    }
}

void SidewaysScrollArea::wheelEvent(QWheelEvent *event)
{
    const QPoint turn = event->angleDelta();
    if (std::abs(turn.x()) > std::abs(turn.y()))
        QScrollArea::wheelEvent(event);
    else
        event->ignore();
}

} // namespace tolvaran
