#include "app/window/BrowserFooter.h"

#include "app/window/BrowserWidgets.h"
#include "platform/RelativeDateFormatter.h"
#include "widgets/BrowserStyle.h"
#include "widgets/ElidingLabel.h"
#include "widgets/FontScale.h"

#include <QHBoxLayout>

namespace tolvaran {

using namespace BrowserStyle;

BrowserFooter::BrowserFooter(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("footer"));
    m_label = BrowserWidgets::elidingLabel(this, QStringLiteral("footerLabel"), systemFont(10),
                                           secondaryLabelColor(palette()));
    m_label->setMaximumLineCount(2);
    m_label->setToolTipWhenCut(true);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 0, 12, 0);
    row->addWidget(m_label, 1, Qt::AlignVCenter);
}

void BrowserFooter::setStatus(const Status &status)
{
    m_status = status;
    redrawRelativeTime();
}

void BrowserFooter::setCompact(bool compact)
{
    setFixedHeight(FontScale::scaled(compact ? compactFooterHeight : footerHeight));
    if (compact == m_compact)
        return;
    m_compact = compact;
    redrawRelativeTime();
}

void BrowserFooter::redrawRelativeTime()
{
    m_label->setText(text(m_status, m_compact, Timestamp::now()));
}

QString BrowserFooter::text(const Status &status, bool compact, Timestamp now)
{
    QString line = QString::number(status.shownProjects) + QLatin1Char('/')
        + QString::number(status.allProjects) + QStringLiteral(" projects  |  ")
        + QString::number(status.pinnedProjects) + QStringLiteral(" pinned  |  ")
        + QString::number(status.unreadProjects) + QStringLiteral(" unread  |  ")
        + QString::number(status.processingProjects) + QStringLiteral(" processing");
    if (status.tagName)
        line += QStringLiteral("  |  Tag: ") + *status.tagName;
    line += compact ? QStringLiteral("\nEvent updates  |  ")
                    : QStringLiteral("  |  Event-driven repository updates  |  ");
    if (status.refreshedAt)
        line += QStringLiteral("Refreshed ") + relativeDateText(*status.refreshedAt, now);
    else
        line += QStringLiteral("Not refreshed yet");
    for (const std::optional<QString> &part :
         {status.teamConnection, status.statusMessage, status.error}) {
        if (part)
            line += QStringLiteral("  |  ") + *part;
    }
    return line;
}

} // namespace tolvaran
