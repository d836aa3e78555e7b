#include "app/ProjectCardGrid.h"

#include "app/ProjectCardView.h"

#include <QEvent>
#include <QResizeEvent>
#include <QScrollBar>

#include <cmath>

namespace tolvaran {

namespace {

// One wheel notch moves a fair part of a card row.
constexpr int scrollStep = 48;

} // namespace

ProjectCardGrid::ProjectCardGrid(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setSingleStep(scrollStep);
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(true);
}

ProjectCardGrid::~ProjectCardGrid() = default;

void ProjectCardGrid::setItemProvider(ItemProvider provider)
{
    m_provider = std::move(provider);
}

void ProjectCardGrid::replaceItems(const QStringList &identifiers)
{
    m_identifiers = identifiers;
    recycleAll();
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

void ProjectCardGrid::updateScrollRange()
{
    const int count = static_cast<int>(m_identifiers.size());
    const int contentHeight =
        static_cast<int>(std::ceil(m_layout.contentHeight(count, m_viewportWidth)));
    QScrollBar *bar = verticalScrollBar();
    bar->setRange(0, std::max(0, contentHeight - viewport()->height()));
    bar->setPageStep(viewport()->height());
}

void ProjectCardGrid::layoutCards()
{
    if (m_viewportWidth <= AdaptiveCardFlowLayout::minimumViewportWidth) {
        recycleAll();
        return;
    }
    const double offset = verticalScrollBar()->value();
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
}

void ProjectCardGrid::configure(ProjectCardView &card, qsizetype index)
{
    const QString &id = m_identifiers.at(index);
    if (m_provider)
        m_provider(card, id);
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
