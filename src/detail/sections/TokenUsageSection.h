#pragma once

#include "data/token_usage/TokenUsageReport.h"
#include "data/token_usage/TokenUsageSnapshot.h"
#include "detail/sections/TokenUsagePeriod.h"
#include "work/QueuedCall.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;

namespace tolvaran {

class AdaptiveGridLayout;
class ElidingLabel;
class ProjectListViewModel;
class SegmentedControl;
class TokenUsageChart;

// The colours the section gives its figures; resolved against the palette where drawn.
enum class UsageColor { primary, blue, mint, orange, green, red, purple };

// A tile of the token-usage section.
struct UsageMetric
{
    QString label;
    QString value; // formatted
    QString detail;
    UsageColor color = UsageColor::primary;

    friend bool operator==(const UsageMetric &, const UsageMetric &) = default;
};

// One part of the token split (input, cached input, output).
struct UsageBreakdown
{
    QString label;
    qint64 value = 0;
    UsageColor color = UsageColor::primary;

    friend bool operator==(const UsageBreakdown &, const UsageBreakdown &) = default;
};

// The colour of a project's share of the weekly allowance: red from 0.1, orange from 0.05,
// purple below.
UsageColor weeklyShareColor(double share);
// The tiles for the project at `projectPath`: Lifetime, Today, Last 7 Days, Weekly Limit and
// Total Estimate. `report` is the project's report (the empty one when it has none).
QList<UsageMetric> tokenUsageMetrics(const TokenUsageReport &report,
                                     const TokenUsageSnapshot &snapshot,
                                     const QString &projectPath,
                                     const QLocale &locale = QLocale());
QList<UsageBreakdown> tokenUsageBreakdown(const TokenUsageReport &report);

// The Overview's token-usage card of one project: the tiles, the chart of the chosen period
// (or a placeholder when the period had no usage) and the token split. It reads the
// coordinator's published usage and writes nothing; only the period is its own.
class TokenUsageSection final : public QWidget
{
    Q_OBJECT

public:
    static constexpr TokenUsagePeriod initialPeriod = TokenUsagePeriod::daily;
    static inline const QString indexingText = QStringLiteral("Indexing usage");
    static inline const QString noUsageText = QStringLiteral("No timestamped usage");

    // `coordinator` must outlive the section.
    TokenUsageSection(ProjectListViewModel &coordinator, const QString &projectPath,
                      QWidget *parent = nullptr);

    TokenUsagePeriod period() const { return m_period; }
    // As the user's choice in the picker.
    void setPeriod(TokenUsagePeriod period);
    // Back to the initial period, as a section shown anew.
    void resetPeriod() { setPeriod(initialPeriod); }

    const QList<UsageMetric> &shownMetrics() const { return m_metrics; }
    bool isShowingChart() const;
    QString placeholderText() const;
    bool isShowingProgress() const;
    TokenUsageChart *chart() const { return m_chart; }

protected:
    // Shown anew (its tab chosen again, the pane opened again), it starts at initialPeriod.
    void showEvent(QShowEvent *event) override;

private:
    void schedule();
    void showUsage();
    void showChart();
    QColor colorOf(UsageColor color) const;

    ProjectListViewModel &m_coordinator;
    QString m_projectPath;
    TokenUsagePeriod m_period = initialPeriod;
    TokenUsageReport m_report;
    QList<UsageMetric> m_metrics;
    QProgressBar *m_progress;
    SegmentedControl *m_picker;
    AdaptiveGridLayout *m_grid;
    struct Tile
    {
        QWidget *panel;
        QLabel *label;
        QLabel *value;
        ElidingLabel *detail;
    };
    QList<Tile> m_tiles;
    TokenUsageChart *m_chart;
    QWidget *m_placeholder;
    QLabel *m_placeholderText;
    QList<QLabel *> m_breakdown;
    QLabel *m_indexed;
    QueuedCall m_usageCall{this, [this] { showUsage(); }};
};

} // namespace tolvaran
