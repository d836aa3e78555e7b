#include "team_screens/TeamListSplit.h"

#include "widgets/FontScale.h"

#include <QListWidget>
#include <QResizeEvent>

#include <algorithm>

namespace tolvaran {

TeamListSplit::TeamListSplit(QWidget *listPane, QListWidget *teams, QWidget *overview,
                             QWidget *parent)
    : QSplitter(Qt::Horizontal, parent)
    , m_listPane(listPane)
    , m_teams(teams)
    , m_overview(overview)
{
    setChildrenCollapsible(false);
    addWidget(listPane);
    addWidget(overview);
    setStretchFactor(1, 1);
    FontScale::follow(this, [this] {
        // Measured again for the text's size: arranged anew.
        setOrientation(Qt::Horizontal);
        m_listPane->setMaximumHeight(QWIDGETSIZE_MAX);
        setSizes({FontScale::scaled(listIdealWidth), width()});
        arrange();
    });
}

QSize TeamListSplit::minimumSizeHint() const
{
    // One above the other, whichever arrangement shows now.
    const QSize list = m_listPane->minimumSizeHint();
    const QSize overview = m_overview->minimumSizeHint();
    return {std::max(list.width(), overview.width()),
            stackedListHeight() + handleWidth() + overview.height()};
}

void TeamListSplit::resizeEvent(QResizeEvent *event)
{
    QSplitter::resizeEvent(event);
    arrange();
}

int TeamListSplit::stackedListHeight() const
{
    const int rows = std::min(m_teams->count(), stackedRowLimit);
    int height = 2 * m_teams->frameWidth();
    for (int row = 0; row < rows; ++row)
        height += m_teams->sizeHintForRow(row);
    // The pane's heading and margins around the list.
    return m_listPane->sizeHint().height() - m_teams->sizeHint().height() + height;
}

void TeamListSplit::arrange()
{
    const int listMinimum = FontScale::scaled(listMinimumWidth);
    const int besideNeeds = std::max(FontScale::scaled(besideMinimumWidth),
                                     listMinimum + handleWidth()
                                         + m_overview->minimumSizeHint().width());
    const bool stack = width() < besideNeeds;
    if (stack) {
        m_listPane->setMinimumWidth(0);
        m_listPane->setMaximumWidth(QWIDGETSIZE_MAX);
        m_listPane->setMaximumHeight(stackedListHeight());
    } else {
        m_listPane->setMinimumWidth(listMinimum);
        m_listPane->setMaximumWidth(FontScale::scaled(listMaximumWidth));
        m_listPane->setMaximumHeight(QWIDGETSIZE_MAX);
    }
    if (stack == isStacked())
        return;
    setOrientation(stack ? Qt::Vertical : Qt::Horizontal);
    setSizes(stack ? QList<int>{stackedListHeight(), height()}
                   : QList<int>{FontScale::scaled(listIdealWidth), width()});
}

} // namespace tolvaran
