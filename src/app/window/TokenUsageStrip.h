#pragma once

#include "app/cards/WeeklyAllowanceLabel.h"
#include "data/token_usage/TokenUsageReport.h"

#include <QFrame>

class QLabel;

namespace tolvaran {

class TokenUsageSparklineView;
class WrappingRowLayout;

// The header's row of token figures: the lifetime total, today, the last hour, the weekly
// allowance in the colour of its tone, and the daily sparkline of the last 30 days. A figure
// is never cut: where they do not fit side by side the strip wraps to further rows and grows
// by a row's height for each (heightChanged), its height following its width.
class TokenUsageStrip final : public QFrame
{
    Q_OBJECT

public:
    // The height of one row of figures.
    static constexpr int stripHeight = 32;

    explicit TokenUsageStrip(QWidget *parent = nullptr);

    void setUsage(const TokenUsageReport &report, const WeeklyAllowanceLabel &week);
    // Narrow windows give up the sparkline first, then the lifetime total.
    void setSparklineShown(bool shown);
    void setTotalShown(bool shown);

    // The strip sets its own height from its width; the layouts around it take that height
    // as fixed rather than asking for one per width.
    bool hasHeightForWidth() const override { return false; }

Q_SIGNALS:
    // The strip took a new height: its figures wrap to more or fewer rows, or the text size
    // changed.
    void heightChanged();

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateHeight();

    WrappingRowLayout *m_row = nullptr;
    QLabel *m_totalLabel = nullptr;
    QLabel *m_todayLabel = nullptr;
    QLabel *m_hourLabel = nullptr;
    QLabel *m_weekLabel = nullptr;
    TokenUsageSparklineView *m_sparkline = nullptr;
};

} // namespace tolvaran
