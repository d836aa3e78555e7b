#include "app/window/TokenUsageStrip.h"

#include "app/cards/TokenUsageSparklineView.h"
#include "app/window/BrowserWidgets.h"
#include "widgets/BrowserStyle.h"
#include "widgets/CompactNumberFormat.h"
#include "widgets/FontScale.h"
#include "widgets/SystemColors.h"
#include "widgets/WrappingRowLayout.h"

#include <QEvent>
#include <QLabel>

namespace tolvaran {

using namespace BrowserStyle;

namespace {

// Around the rows of figures; a row is the strip's design height less these.
constexpr QMargins rowMargins(10, 4, 10, 4);

} // namespace

TokenUsageStrip::TokenUsageStrip(QWidget *parent)
    : QFrame(parent)
    , m_row(new WrappingRowLayout(this))
{
    setObjectName(QStringLiteral("usageStrip"));
    QColor stripColor = palette().color(QPalette::Base);
    stripColor.setAlphaF(0.75f);
    setStyleSheet(QStringLiteral("#usageStrip { background-color: %1; border-radius: 6px; }")
                      .arg(stripColor.name(QColor::HexArgb)));
    const QColor secondary = secondaryLabelColor(palette());
    const ScaledFont usageFont = monospacedDigitFont(10, QFont::Medium);
    const auto usageLabel = [&](const char *name) {
        QLabel *label = BrowserWidgets::label(this, QLatin1String(name), usageFont, secondary);
        m_row->addWidget(label);
        return label;
    };
    m_totalLabel = usageLabel("usageTotalLabel");
    m_todayLabel = usageLabel("usageTodayLabel");
    m_hourLabel = usageLabel("usageHourLabel");
    m_weekLabel = usageLabel("usageWeekLabel");
    m_sparkline = new TokenUsageSparklineView(this);
    m_sparkline->setObjectName(QStringLiteral("usageSparkline"));
    m_row->addWidget(m_sparkline);
    m_row->setAlignment(m_sparkline, Qt::AlignRight | Qt::AlignVCenter); // the row's end
    m_row->setContentsMargins(rowMargins);
    m_row->setHorizontalSpacing(14);
    m_row->setVerticalSpacing(0);
    // Each row spans the strip, as the one row always did.
    m_row->setFillsLines(true);
    FontScale::follow(this, [this] {
        m_row->setMinimumLineHeight(FontScale::scaled(stripHeight) - rowMargins.top()
                                    - rowMargins.bottom());
        updateHeight();
    });
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
    updateHeight();
}

void TokenUsageStrip::setSparklineShown(bool shown)
{
    m_sparkline->setHidden(!shown);
    updateHeight();
}

void TokenUsageStrip::setTotalShown(bool shown)
{
    m_totalLabel->setHidden(!shown);
    updateHeight();
}

bool TokenUsageStrip::event(QEvent *event)
{
    // A figure's text or font changed its width.
    if (event->type() == QEvent::LayoutRequest)
        updateHeight();
    return QFrame::event(event);
}

void TokenUsageStrip::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    updateHeight();
}

void TokenUsageStrip::updateHeight()
{
    const int wanted = m_row->heightForWidth(width());
    if (minimumHeight() == wanted && maximumHeight() == wanted)
        return;
    setFixedHeight(wanted);
    Q_EMIT heightChanged();
}

} // namespace tolvaran
