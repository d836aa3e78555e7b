#include "detail/sections/SharedWithTeamSection.h"

#include "detail/sections/ChangedFileList.h"
#include "detail/DetailStyle.h"
#include "widgets/RoundedPanel.h"
#include "widgets/BrowserStyle.h"
#include "widgets/SystemColors.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tolvaran {

namespace {
constexpr double cardCornerRadius = 8;
constexpr int cardPadding = 12;
constexpr int cardSpacing = 7;
constexpr int sectionSpacing = 10;
} // namespace

SharedWithTeamSection::SharedWithTeamSection(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("sharedWithTeamSection"));
    auto *card = new RoundedPanel(cardCornerRadius, this);
    card->setObjectName(QStringLiteral("sharedWithTeamCard"));
    card->setFill(SystemColors::withAlpha(SystemColors::accent(palette()), cardFillOpacity));
    const ScaledFont headline =
        BrowserStyle::systemFont(DetailStyle::headlineSize, QFont::DemiBold);
    m_summary = DetailStyle::plainLabel(headline, card);
    m_summary->setObjectName(QStringLiteral("workSummary"));
    m_summary->setWordWrap(true);
    m_pending = pendingSummaryLabel(headline, card);
    m_files = new ChangedFileList(card);
    m_statistics = DetailStyle::plainLabel(BrowserStyle::systemFont(DetailStyle::captionSize),
                                           card);
    m_statistics->setObjectName(QStringLiteral("statisticsLine"));
    BrowserStyle::setTextColor(m_statistics, BrowserStyle::tertiaryLabelColor(palette()));

    auto *cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(cardPadding, cardPadding, cardPadding, cardPadding);
    cardLayout->setSpacing(cardSpacing);
    cardLayout->addWidget(m_summary);
    cardLayout->addWidget(m_pending);
    cardLayout->addWidget(m_files);
    cardLayout->addWidget(m_statistics);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(sectionSpacing);
    layout->addWidget(DetailStyle::sectionTitle(QStringLiteral("What Teammates See"),
                                                QStringLiteral("eye.fill"), this));
    layout->addWidget(card);
    render();
}

void SharedWithTeamSection::setActivity(const SharedProjectState &activity)
{
    if (activity == m_activity)
        return;
    m_activity = activity;
    render();
}

void SharedWithTeamSection::render()
{
    m_summary->setText(m_activity.workSummary.value_or(QString()));
    m_summary->setVisible(m_activity.workSummary.has_value());
    m_pending->setVisible(!m_activity.workSummary.has_value());
    m_files->setFiles(m_activity.changedFiles);
    m_statistics->setText(teamStatisticsLine(m_activity));
}

} // namespace tolvaran
