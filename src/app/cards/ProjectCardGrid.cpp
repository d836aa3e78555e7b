#include "app/cards/ProjectCardGrid.h"

#include "app/cards/ProjectCardView.h"
#include "widgets/FontScale.h"

#include <QApplication>
#include <QEvent>
#include <QResizeEvent>
#include <QScrollBar>

#include <cmath>
#include <utility>

namespace tolvaran {

namespace {

// One wheel notch moves a fair part of a card row.
constexpr int scrollStep = 48;

} // namespace

ProjectCardGrid::ProjectCardGrid(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    // The cards' controls take the focus and the grid scrolls to them; the area itself would
    // be a stop that shows nothing.
    setFocusPolicy(Qt::NoFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(scrollStep);
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(true);
    FontScale::follow(this, [this] {
        m_layout.setScale(FontScale::factor());
        m_layout.setMinimumCardHeight(0);
        relayout();
    });
    // Tab may move the focus onto a card of the row beyond the view's edge (those exist
    // already): the view follows it there.
    m_focusFollower = connect(qApp, &QApplication::focusChanged, this,
                              [this](QWidget *, QWidget *now) { revealFocus(now); });
}

ProjectCardGrid::~ProjectCardGrid()
{
    // The children go after this destructor, and the focus leaves one of them as it goes:
    // the grid is no longer there to follow it.
    disconnect(m_focusFollower);
}

void ProjectCardGrid::setItemProvider(ItemProvider provider)
{
    m_provider = std::move(provider);
}

void ProjectCardGrid::replaceItems(const QStringList &identifiers)
{
    m_identifiers = identifiers;
    recycleAll();
    if (m_layout.itemSize().height() > m_layout.baseCardHeight()) {
        m_layout.setMinimumCardHeight(0);
        m_layout.updateViewportWidth(m_viewportWidth);
    }
    updateScrollRange();
    // Scrolling first, so that only the cards at the top are configured.
    const QSignalBlocker blocker(verticalScrollBar());
    verticalScrollBar()->setValue(0);
    layoutCards();
}

void ProjectCardGrid::reloadItems(const QList<qsizetype> &indexes)
{
    for (const qsizetype index : indexes) {
        if (ProjectCardView *card = m_shown.value(index))
            configure(*card, index);
    }
    if (m_cardHeightGrew)
        relayout();
}

void ProjectCardGrid::setLeadingWidget(QWidget *widget)
{
    if (widget == m_leading)
        return;
    m_leading = widget;
    if (widget) {
        widget->setParent(viewport());
        widget->show();
    }
    measureLeadingWidget();
    updateScrollRange();
    layoutCards();
}

int ProjectCardGrid::scrollOffset() const
{
    return verticalScrollBar()->value();
}

void ProjectCardGrid::setScrollOffset(int offset)
{
    verticalScrollBar()->setValue(offset);
}

ProjectCardView *ProjectCardGrid::cardAt(qsizetype index) const
{
    return m_shown.value(index);
}

void ProjectCardGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    synchronizeViewport();
}

void ProjectCardGrid::scrollContentsBy(int, int)
{
    layoutCards();
}

bool ProjectCardGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Resize)
        synchronizeViewport();
    // A child without a layout around it asks its parent, the viewport, for a new layout:
    // the leading widget grew or shrank (a bar shown or hidden, the text size).
    if (event->type() == QEvent::LayoutRequest && measureLeadingWidget()) {
        updateScrollRange();
        layoutCards();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void ProjectCardGrid::synchronizeViewport()
{
    const double width = std::floor(viewport()->width());
    if (width <= AdaptiveCardFlowLayout::minimumViewportWidth)
        return;
    if (AdaptiveCardFlowLayout::shouldInvalidateLayout(m_viewportWidth, width)) {
        m_viewportWidth = width;
        m_layout.updateViewportWidth(width);
    }
    updateScrollRange();
    layoutCards();
}

void ProjectCardGrid::relayout()
{
    m_cardHeightGrew = false;
    if (m_viewportWidth > AdaptiveCardFlowLayout::minimumViewportWidth)
        m_layout.updateViewportWidth(m_viewportWidth);
    updateScrollRange();
    layoutCards();
}

void ProjectCardGrid::revealFocus(QWidget *focused)
{
    if (!focused || !viewport()->isAncestorOf(focused))
        return;
    const QRect area(focused->mapTo(viewport(), QPoint()), focused->size());
    const QWidget *card = focused;
    while (card && card->parentWidget() != viewport())
        card = card->parentWidget();
    // The whole card (or leading widget) where it fits, else at least the focused control.
    const QRect wanted = card && card->height() <= viewport()->height()
                             ? card->geometry()
                             : area;
    QScrollBar *bar = verticalScrollBar();
    if (wanted.top() < 0)
        bar->setValue(bar->value() + wanted.top() - int(m_layout.sectionInsets().top));
    else if (wanted.bottom() >= viewport()->height())
        bar->setValue(bar->value() + wanted.bottom() - viewport()->height() + 1
                      + int(m_layout.sectionInsets().bottom));
}

bool ProjectCardGrid::measureLeadingWidget()
{
    const QWidget *leading = m_leading.data();
    const int height = leading ? leading->sizeHint().height() : 0;
    return std::exchange(m_leadingHeight, height) != height;
}

void ProjectCardGrid::updateScrollRange()
{
    const int count = static_cast<int>(m_identifiers.size());
    const int contentHeight = m_leadingHeight
        + static_cast<int>(std::ceil(m_layout.contentHeight(count, m_viewportWidth)));
    QScrollBar *bar = verticalScrollBar();
    bar->setRange(0, std::max(0, contentHeight - viewport()->height()));
    bar->setPageStep(viewport()->height());
}

void ProjectCardGrid::layoutCards()
{
    if (QWidget *leading = m_leading.data()) {
        leading->setGeometry(0, -verticalScrollBar()->value(), viewport()->width(),
                             m_leadingHeight);
    }
    if (m_viewportWidth <= AdaptiveCardFlowLayout::minimumViewportWidth) {
        recycleAll();
        return;
    }
    // Where the cards' own layout starts, in the viewport's terms.
    const double offset = verticalScrollBar()->value() - m_leadingHeight;
    const double pitch = m_layout.itemSize().height() + AdaptiveCardFlowLayout::lineSpacing;
    const auto [first, last] = m_layout.itemsInBand(
        offset - overscanRows * pitch, offset + viewport()->height() + overscanRows * pitch,
        static_cast<int>(m_identifiers.size()), m_viewportWidth);

    // Cards that left the band go back to the pool before new ones are taken from it.
    for (auto it = m_shown.begin(); it != m_shown.end();) {
        if (it.key() < first || it.key() > last) {
            it.value()->hide();
            m_pool.append(it.value());
            it = m_shown.erase(it);
        } else {
            ++it;
        }
    }
    for (int index = first; index <= last; ++index) {
        ProjectCardView *card = m_shown.value(index);
        if (!card) {
            card = m_pool.isEmpty() ? new ProjectCardView(viewport()) : m_pool.takeLast();
            m_shown.insert(index, card);
            configure(*card, index);
        }
        const QRectF frame = m_layout.itemRect(index, m_viewportWidth);
        card->setGeometry(QRect(static_cast<int>(frame.x()),
                                static_cast<int>(frame.y() - offset),
                                static_cast<int>(frame.width()),
                                static_cast<int>(frame.height())));
        card->show();
    }
    if (m_cardHeightGrew)
        relayout();
}

void ProjectCardGrid::configure(ProjectCardView &card, qsizetype index)
{
    const QString &id = m_identifiers.at(index);
    if (m_provider)
        m_provider(card, id);
    const int width = int(m_layout.itemSize().width());
    const int needed = card.requiredHeight(width);
    if (needed > m_layout.itemSize().height()) {
        m_layout.setMinimumCardHeight(needed);
        m_cardHeightGrew = true;
    }
    Q_EMIT cardConfigured(id);
}

void ProjectCardGrid::recycleAll()
{
    for (ProjectCardView *card : std::as_const(m_shown)) {
        card->hide();
        m_pool.append(card);
    }
    m_shown.clear();
}

} // namespace tolvaran
