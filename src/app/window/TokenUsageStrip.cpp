#include "app/window/TokenUsageStrip.h"

#include "app/cards/TokenUsageSparklineView.h"
#include "app/window/BrowserWidgets.h"
#include "widgets/BrowserStyle.h"
#include "widgets/CompactNumberFormat.h"
#include "widgets/ElidingLabel.h"
#include "widgets/FontScale.h"
#include "widgets/SystemColors.h"

#include <QHBoxLayout>

namespace tolvaran {

using namespace BrowserStyle;

TokenUsageStrip::TokenUsageStrip(QWidget *parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("usageStrip"));
    FontScale::follow(this, [this] { setFixedHeight(FontScale::scaled(stripHeight)); });
    QColor stripColor = palette().color(QPalette::Base);
    stripColor.setAlphaF(0.75f);
    setStyleSheet(QStringLiteral("#usageStrip { background-color: %1; border-radius: 6px; }")
                      .arg(stripColor.name(QColor::HexArgb)));
    const QColor secondary = secondaryLabelColor(palette());
    const ScaledFont usageFont = monospacedDigitFont(10, QFont::Medium);
    const auto usageLabel = [&](const char *name) {
        return BrowserWidgets::elidingLabel(this, QLatin1String(name), usageFont, secondary);
    };
    m_totalLabel = usageLabel("usageTotalLabel");
    m_todayLabel = usageLabel("usageTodayLabel");
    m_hourLabel = usageLabel("usageHourLabel");
    m_weekLabel = usageLabel("usageWeekLabel");
    m_sparkline = new TokenUsageSparklineView(this);
    m_sparkline->setObjectName(QStringLiteral("usageSparkline"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(10, 5, 10, 5);
    row->setSpacing(14);
    row->addWidget(m_totalLabel, 2);
    row->addWidget(m_todayLabel, 2);
    row->addWidget(m_hourLabel, 2);
    row->addWidget(m_weekLabel, 5);
    row->addWidget(m_sparkline, 0, Qt::AlignVCenter);
}

void TokenUsageStrip::setUsage(const TokenUsageReport &report, const WeeklyAllowanceLabel &week)
{
    m_weekLabel->setText(week.text);
    m_weekLabel->setToolTip(week.toolTip);
    const QPalette &palette = m_weekLabel->palette();
    QColor color = SystemColors::accent(palette);
    switch (week.tone) {
    case WeeklyAllowanceTone::waiting:
        color = secondaryLabelColor(palette);
        break;
    case WeeklyAllowanceTone::normal:
        break;
    case WeeklyAllowanceTone::warning:
        color = SystemColors::orange();
        break;
    case WeeklyAllowanceTone::critical:
        color = SystemColors::red();
        break;
    }
    setTextColor(m_weekLabel, color);
    m_totalLabel->setText(QStringLiteral("TOTAL  ") + compactTokens(report.lifetimeTokens));
    m_todayLabel->setText(QStringLiteral("TODAY  ") + compactTokens(report.todayTokens));
    m_hourLabel->setText(QStringLiteral("1 HOUR  ") + compactTokens(report.lastHourTokens));
    QList<qint64> daily;
    daily.reserve(report.daily.size());
    for (const TokenUsagePoint &point : report.daily)
        daily.append(point.tokens);
    m_sparkline->setPoints(daily);
    m_sparkline->setToolTip(QStringLiteral("Daily token usage for the last 30 days"));
}

void TokenUsageStrip::setSparklineShown(bool shown)
{
    m_sparkline->setHidden(!shown);
}

void TokenUsageStrip::setTotalShown(bool shown)
{
    m_totalLabel->setHidden(!shown);
}

} // namespace tolvaran
