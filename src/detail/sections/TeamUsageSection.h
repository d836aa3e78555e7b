#pragma once

#include "team/view/TeamProjectUsageSummary.h"

#include <QColor>
#include <QList>
#include <QLocale>
#include <QPalette>
#include <QString>
#include <QWidget>

#include <optional>

class QGridLayout;

namespace tolvaran {

// The sums of the usage table's last row. Token counts come from teammates' devices through
// the server, so their sums stop at the 64-bit limits instead of wrapping round.
struct TeamUsageTotals
{
    qint64 lifetimeTokens = 0;
    qint64 weeklyTokens = 0;
    double weeklyAllowancePercent = 0.0;
    // Absent when no member has a plan cost.
    std::optional<double> lifetimePlanCost;

    friend bool operator==(const TeamUsageTotals &, const TeamUsageTotals &) = default;
};

TeamUsageTotals teamUsageTotals(const TeamProjectUsageSummary &summary);

// One row of the usage table as it reads. `isConnected` is absent for the total row, which
// has no dot.
struct TeamUsageRow
{
    QString member;
    QString projectTotal;
    QString thisWeek;
    QString weeklyLimit;
    QString totalEstimate;
    std::optional<bool> isConnected;

    friend bool operator==(const TeamUsageRow &, const TeamUsageRow &) = default;
};

// A share of the weekly allowance given in percent (12.5 reads "12.5%"), 0 to 2 fraction
// digits, not capped at 100.
QString teamUsagePercentText(double percent, const QLocale &locale = QLocale());
// A plan cost in US dollars with exactly 2 fraction digits; "--" when there is none.
QString teamUsageCostText(std::optional<double> cost, const QLocale &locale = QLocale());
// The member rows in summary order, then the total row ("All members").
QList<TeamUsageRow> teamUsageRows(const TeamProjectUsageSummary &summary,
                                  const QLocale &locale = QLocale());
// The dot before a member's name: green when connected, else the secondary text colour at
// half opacity.
QColor teamMemberDotColor(bool isConnected, const QPalette &palette);

// The detail pane's table of what each teammate has spent on the project's repository, with
// a total row and a note on where the figures come from. Names are plain text.
class TeamUsageSection final : public QWidget
{
    Q_OBJECT

public:
    static inline const QStringList columnTitles{
        QStringLiteral("Member"), QStringLiteral("Project Total"), QStringLiteral("This Week"),
        QStringLiteral("Weekly Limit"), QStringLiteral("Total Estimate")};

    explicit TeamUsageSection(QWidget *parent = nullptr);

    const TeamProjectUsageSummary &summary() const { return m_summary; }
    // Rebuilds the rows when the summary differs from the one shown.
    void setSummary(const TeamProjectUsageSummary &summary);

private:
    void render();

    TeamProjectUsageSummary m_summary;
    QGridLayout *m_grid;
    QList<QWidget *> m_rowWidgets;
    bool m_rendered = false;
};

} // namespace tolvaran
