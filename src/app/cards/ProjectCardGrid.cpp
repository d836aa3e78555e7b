#include "app/cards/ProjectCardGrid.h"

#include "app/cards/ProjectCardView.h"
#include "app/cards/ReadingOrderFocus.h"
#include "widgets/FontScale.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QResizeEvent>
#include <QScopedValueRollback>
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
                              [this](QWidget *, QWidget *now) { followFocus(now); });
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
    // The card holding the focus goes with its project while the project is still on the page
    // (a new order as Codex works), in view or not: hidden, it would hand the focus to the
    // window's first control, and the view would follow it there.
    const qsizetype focused = focusedItem();
    const qsizetype kept = focused < 0 ? -1 : identifiers.indexOf(m_identifiers.at(focused));
    ProjectCardView *keptCard = kept < 0 ? nullptr : m_shown.take(focused);
    m_identifiers = identifiers;
    recycleAll();
    if (m_layout.itemSize().height() > m_layout.baseCardHeight()) {
        m_layout.setMinimumCardHeight(0);
        m_layout.updateViewportWidth(m_viewportWidth);
    }
    // A new page starts at its first card; the leading widget stays where the user looks at
    // it (a search being typed there).
    if (!m_viewTop.inLeading)
        m_viewTop = {};
    {
        // Scrolling first, so that only the cards at the top are configured.
        const QSignalBlocker blocker(verticalScrollBar());
        updateScrollRange();
    }
    if (keptCard) {
        m_shown.insert(kept, keptCard);
        configure(*keptCard, kept);
    }
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
    scrollTo(offset);
}

ProjectCardView *ProjectCardGrid::cardAt(qsizetype index) const
{
    return m_shown.value(index);
}

void ProjectCardGrid::focusItem(const QString &id, ControlPicker pick, Qt::FocusReason reason)
{
    m_focusRequest = FocusRequest{id, std::move(pick), reason};
    focusPendingItem();
}

void ProjectCardGrid::focusPendingItem()
{
    if (!m_focusRequest || m_viewportWidth <= AdaptiveCardFlowLayout::minimumViewportWidth)
        return;
    const FocusRequest request = *std::exchange(m_focusRequest, std::nullopt);
    const qsizetype index = m_identifiers.indexOf(request.id);
    if (index < 0)
        return;
    scrollItemIntoView(index);
    ProjectCardView *card = cardAt(index);
    QWidget *control = card && request.pick ? request.pick(*card) : nullptr;
    if (!control)
        return;
    control->setFocus(request.reason);
    // Also where the window is not active yet, and takes the focus only as it becomes so.
    revealFocus(control);
}

void ProjectCardGrid::scrollItemIntoView(qsizetype index)
{
    // The card's row at the top of the view, unless it shows whole already; a focused control
    // then brings the rest of its card in (revealFocus).
    const QRectF frame = m_layout.itemRect(int(index), m_viewportWidth);
    const int top = m_leadingHeight + int(frame.y());
    const int bottom = m_leadingHeight + int(std::ceil(frame.bottom()));
    QScrollBar *bar = verticalScrollBar();
    if (top < bar->value() || bottom > bar->value() + viewport()->height())
        scrollTo(top - int(m_layout.sectionInsets().top));
    layoutCards();
}

void ProjectCardGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    synchronizeViewport();
}

void ProjectCardGrid::scrollContentsBy(int, int)
{
    if (!m_keepingViewTop) {
        recordViewTop(); // the user's scroll bar, wheel or keys, or the focus
        m_keepsOpeningFocusInView = false;
    }
    layoutCards();
}

void ProjectCardGrid::followFocus(QWidget *focused)
{
    if (!focused || focused == m_focusFromOpening || m_configuring)
        return;
    m_focusFromOpening = nullptr;
    revealFocus(focused);
}

bool ProjectCardGrid::event(QEvent *event)
{
    // A window activated with no control chosen yet (as it opens) gives the focus to its first
    // control, in the leading widget or on the first card: that says nothing of where the user
    // wants to look, so the view stays where it is, also where that control is given the focus
    // again (the leading widget moved into or out of the viewport takes it away). Only the
    // focus event tells why the focus came; it follows within the activation's call.
    if (event->type() == QEvent::WindowActivate && !window()->focusWidget()
        && !m_awaitingOpeningFocus) {
        m_awaitingOpeningFocus = true;
        qApp->installEventFilter(this);
        QMetaObject::invokeMethod(
            this, [this] { stopAwaitingOpeningFocus(); }, Qt::QueuedConnection);
    }
    return QAbstractScrollArea::event(event);
}

bool ProjectCardGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (m_awaitingOpeningFocus && event->type() == QEvent::FocusIn) {
        stopAwaitingOpeningFocus();
        if (static_cast<QFocusEvent *>(event)->reason() == Qt::ActiveWindowFocusReason) {
            m_focusFromOpening = qobject_cast<QWidget *>(watched);
            m_keepsOpeningFocusInView = true;
            // Once the focus has settled: not from inside its own focus event.
            QMetaObject::invokeMethod(
                this, [this] { keepOpeningFocusInView(); }, Qt::QueuedConnection);
        }
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void ProjectCardGrid::stopAwaitingOpeningFocus()
{
    if (std::exchange(m_awaitingOpeningFocus, false))
        qApp->removeEventFilter(this);
}

void ProjectCardGrid::keepOpeningFocusInView()
{
    // Qt gives the opening focus to the first control of the window's chain, which is made
    // first, not where the view shows: on a short window that is a bar scrolled above the
    // first card, where a ring would not show and a key would act unseen.
    QWidget *focused = m_focusFromOpening.data();
    if (!m_keepsOpeningFocusInView || !focused || !focused->hasFocus()
        || !viewport()->isAncestorOf(focused))
        return;
    const auto shown = [this](const QWidget *control) {
        return viewport()->rect().contains(
            QRect(control->mapTo(viewport(), QPoint()), control->size()));
    };
    if (shown(focused))
        return;
    for (QWidget *stop : ReadingOrderFocus::stops(viewport())) {
        if (shown(stop)) {
            // Still the opening's: the view does not move to it.
            m_focusFromOpening = stop;
            stop->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
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
    // A new width moves every card: the one holding the focus stays in view, or it would go
    // back to the pool with the focus.
    const qsizetype focused = focusedItem();
    if (AdaptiveCardFlowLayout::shouldInvalidateLayout(m_viewportWidth, width)) {
        m_viewportWidth = width;
        m_layout.updateViewportWidth(width);
    }
    updateScrollRange();
    if (focused >= 0 && QApplication::focusWidget() != m_focusFromOpening) {
        scrollItemIntoView(focused);
        // The row at the top may leave the focused control below a shorter view.
        revealFocus(QApplication::focusWidget());
    }
    layoutCards();
    focusPendingItem();
}

qsizetype ProjectCardGrid::focusedItem() const
{
    const QWidget *focused = QApplication::focusWidget();
    for (auto it = m_shown.cbegin(); focused && it != m_shown.cend(); ++it) {
        if (it.value()->isAncestorOf(focused))
            return it.key();
    }
    return -1;
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
    const int value = verticalScrollBar()->value();
    if (wanted.top() < 0)
        scrollTo(value + wanted.top() - int(m_layout.sectionInsets().top));
    else if (wanted.bottom() >= viewport()->height())
        scrollTo(value + wanted.bottom() - viewport()->height() + 1
                 + int(m_layout.sectionInsets().bottom));
}

bool ProjectCardGrid::measureLeadingWidget()
{
    const QWidget *leading = m_leading.data();
    const int height = leading ? leading->sizeHint().height() : 0;
    if (height == m_leadingHeight)
        return false;
    m_leadingHeight = height;
    // The place in a leading widget that went, or shrank above it, is now the cards' top.
    if (m_viewTop.inLeading && m_viewTop.offset >= height)
        m_viewTop = {};
    return true;
}

void ProjectCardGrid::scrollTo(int offset)
{
    verticalScrollBar()->setValue(offset);
    // Also where the bar was there already, or stopped short of it: the view's top is what
    // it now shows.
    recordViewTop();
}

void ProjectCardGrid::recordViewTop()
{
    const int value = verticalScrollBar()->value();
    if (value < m_leadingHeight)
        m_viewTop = {true, value};
    else
        m_viewTop = {false, value - m_leadingHeight};
}

void ProjectCardGrid::updateScrollRange()
{
    const int count = static_cast<int>(m_identifiers.size());
    const int contentHeight = m_leadingHeight
        + static_cast<int>(std::ceil(m_layout.contentHeight(count, m_viewportWidth)));
    QScrollBar *bar = verticalScrollBar();
    // The bar stops short of the view's top where the range is too small for it (no cards
    // yet, a tall window): the view's top is kept for a range that has room again.
    m_keepingViewTop = true;
    bar->setRange(0, std::max(0, contentHeight - viewport()->height()));
    bar->setPageStep(viewport()->height());
    bar->setValue(m_viewTop.inLeading ? m_viewTop.offset : m_leadingHeight + m_viewTop.offset);
    m_keepingViewTop = false;
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

    // Cards that left the band go back to the pool before new ones are taken from it; the
    // card holding the focus stays where it is, out of view, since hiding it would hand the
    // focus on to whatever Qt finds next (and scroll the view there).
    const qsizetype focused = focusedItem();
    for (auto it = m_shown.begin(); it != m_shown.end();) {
        if ((it.key() < first || it.key() > last) && it.key() != focused) {
            it.value()->hide();
            m_pool.append(it.value());
            it = m_shown.erase(it);
        } else {
            ++it;
        }
    }
    const auto place = [&](ProjectCardView *card, qsizetype index) {
        const QRectF frame = m_layout.itemRect(int(index), m_viewportWidth);
        card->setGeometry(QRect(static_cast<int>(frame.x()),
                                static_cast<int>(frame.y() - offset),
                                static_cast<int>(frame.width()),
                                static_cast<int>(frame.height())));
    };
    for (int index = first; index <= last; ++index) {
        ProjectCardView *card = m_shown.value(index);
        if (!card) {
            card = m_pool.isEmpty() ? new ProjectCardView(viewport()) : m_pool.takeLast();
            m_shown.insert(index, card);
            configure(*card, index);
        }
        place(card, index);
        card->show();
    }
    if (focused >= 0 && (focused < first || focused > last))
        place(m_shown.value(focused), focused);
    if (m_cardHeightGrew)
        relayout();
    keepOpeningFocusInView();
}

void ProjectCardGrid::configure(ProjectCardView &card, qsizetype index)
{
    const QString &id = m_identifiers.at(index);
    if (m_provider) {
        const QScopedValueRollback configuring(m_configuring, true);
        m_provider(card, id);
    }
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
    // Taken out first: hiding the card that holds the focus hands the focus on, and the grid
    // may follow it into a layout of its own before this loop ends.
    const QHash<qsizetype, ProjectCardView *> shown = std::exchange(m_shown, {});
    for (ProjectCardView *card : shown) {
        card->hide();
        m_pool.append(card);
    }
}

} // namespace tolvaran
