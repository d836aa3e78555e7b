#include "detail/ColumnScrollArea.h"

#include "widgets/FocusInView.h"

#include <QEvent>
#include <QScrollBar>

#include <algorithm>

namespace tolvaran {

ColumnScrollArea::ColumnScrollArea(QWidget *parent)
    : QScrollArea(parent)
{
    setWidgetResizable(true);
    keepFocusInView(this);
}

QSize ColumnScrollArea::minimumSizeHint() const
{
    QSize least = QScrollArea::minimumSizeHint();
    const QWidget *content = widget();
    if (!content)
        return least;
    int width = content->minimumSizeHint().expandedTo(content->minimumSize()).width()
        + 2 * frameWidth();
    if (verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
        width += verticalScrollBar()->sizeHint().width();
    least.setWidth(std::max(least.width(), width));
    return least;
}

bool ColumnScrollArea::eventFilter(QObject *watched, QEvent *event)
{
    QWidget *content = widget();
    if (watched == content && event->type() == QEvent::LayoutRequest) {
        // Content that wraps is as tall as it is at the width it is given. A scroll area keeps
        // at least the content's least height, which is its height at its narrowest (every
        // tile of a grid in a row of its own): empty room below the last section.
        const QSizePolicy::Policy vertical =
            content->hasHeightForWidth() ? QSizePolicy::Ignored : QSizePolicy::Preferred;
        if (content->sizePolicy().verticalPolicy() != vertical)
            content->setSizePolicy(content->sizePolicy().horizontalPolicy(), vertical);
        // Its least width may have changed too (a section shown, a text size): the layouts
        // above this area ask again.
        updateGeometry();
    }
    return QScrollArea::eventFilter(watched, event);
}

bool ColumnScrollArea::focusNextPrevChild(bool next)
{
    // Past QScrollArea's own step, which would move the view again after Tab by the control's
    // input cursor: a chart reports a point at its corner, and a control wider than the view
    // comes centred, its leading edge cut.
    return QWidget::focusNextPrevChild(next);
}

} // namespace tolvaran
