#pragma once

#include "data/token_usage/TokenUsagePoint.h"
#include "detail/sections/TokenUsagePeriod.h"

#include <QChartView>
#include <QList>
#include <QLocale>

class QBarSet;
class QCategoryAxis;

namespace tolvaran {

// One bar of the chart: the clock hour or local calendar day starting at `start`.
struct TokenUsageBar
{
    Timestamp start;
    qint64 tokens = 0;

    friend bool operator==(const TokenUsageBar &, const TokenUsageBar &) = default;
};

// A series has a point only for the hours or days with usage; the chart draws every hour of
// the last 24 (up to the current one) or every day of the last 30 (up to today), the ones
// without usage as empty bars, so that the bars stand at their times (further back when a
// point is older). Points are expected oldest first; none give no bars.
QList<TokenUsageBar> tokenUsageBars(const QList<TokenUsagePoint> &points,
                                    TokenUsagePeriod period, Timestamp now);
// Whether any point has usage: a series of zeros draws no chart.
bool hasChartableUsage(const QList<TokenUsagePoint> &points);
// The bars that get a time label: about as many as the period asks for, evenly spaced (hours
// on multiples of the spacing, so the labels read 12 AM, 4 AM, ...).
QList<qsizetype> tokenUsageLabelledBars(const QList<TokenUsageBar> &bars,
                                        TokenUsagePeriod period);
// The pattern of a day's label in `locale`: its abbreviated month and day of month in the
// order, and with the words between them, of the locale's long date ("MMM d" in the United
// States, "d MMM" in Britain, "d. MMM" in Germany, "M月d日" in Japan).
QString tokenUsageDayPattern(const QLocale &locale);
// "3 PM" (or "15" where the locale counts 24 hours) for an hour, the day as
// tokenUsageDayPattern writes it ("Mar 4", "4 Mar").
QString tokenUsageBarLabel(Timestamp start, TokenUsagePeriod period,
                           const QLocale &locale = QLocale());
// What the chart shows, in words, for assistive technology: the total, then every bar with
// usage as its label and compact count ("1.3K tokens in all. 4 Mar: 300, 6 Mar: 1K"), or
// that there is none.
QString tokenUsageChartSummary(const QList<TokenUsageBar> &bars, TokenUsagePeriod period,
                               const QLocale &locale = QLocale());
// The token axis' marks: 0, then whole multiples of a round step (1, 2 or 5 times a power of
// ten) up to the first one at or above `largest`.
QList<qint64> tokenUsageAxisMarks(qint64 largest);

// The bar chart of one usage series. It takes the keyboard focus, shows it with a focus
// frame, and gives assistive technology its name and a summary of its values.
class TokenUsageChart final : public QChartView
{
    Q_OBJECT

public:
    static constexpr int chartHeight = 180;

    explicit TokenUsageChart(QWidget *parent = nullptr);

    const QList<TokenUsageBar> &bars() const { return m_bars; }
    // The time axis' labels and the token axis' labels, as drawn.
    QStringList timeLabels() const;
    QStringList tokenLabels() const;

    void setSeries(const QList<TokenUsagePoint> &points, TokenUsagePeriod period);

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void applyColors();

    QList<TokenUsageBar> m_bars;
    QBarSet *m_set;
    QCategoryAxis *m_timeAxis;
    QCategoryAxis *m_tokenAxis;
};

} // namespace tolvaran
