#pragma once

#include "app/cards/WeeklyAllowanceLabel.h"
#include "data/token_usage/TokenUsageReport.h"

#include <QFrame>

namespace tolvaran {

class ElidingLabel;
class TokenUsageSparklineView;

// The header's row of token figures: the lifetime total, today, the last hour, the weekly
// allowance in the colour of its tone, and the daily sparkline of the last 30 days.
class TokenUsageStrip final : public QFrame
{
    Q_OBJECT

public:
    static constexpr int stripHeight = 32;

    explicit TokenUsageStrip(QWidget *parent = nullptr);

    void setUsage(const TokenUsageReport &report, const WeeklyAllowanceLabel &week);
    // Narrow windows give up the sparkline first, then the lifetime total.
    void setSparklineShown(bool shown);
    void setTotalShown(bool shown);

private:
    ElidingLabel *m_totalLabel = nullptr;
    ElidingLabel *m_todayLabel = nullptr;
    ElidingLabel *m_hourLabel = nullptr;
    ElidingLabel *m_weekLabel = nullptr;
    TokenUsageSparklineView *m_sparkline = nullptr;
};

} // namespace tolvaran
