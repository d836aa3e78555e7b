#pragma once

#include "data/token_usage/TokenReportAccumulator.h"
#include "data/token_usage/TokenUsageReport.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tolvaran::Internal {

// What a token-usage aggregation placed at one moment: the windows and series of the global
// report and of each project's, and the reports last made of them, kept from one snapshot to
// the next.
struct TokenPlacedReports
{
    double at = 0.0;          // the time the windows and series are those of
    double weeklyStart = 0.0; // the weekly window's start then
    // The starts of the buckets of the series, then the end of the last; the hours grow as
    // the clock moves (the first day's stay, emptied), the days are those of one day.
    std::vector<double> hours;
    std::vector<double> days;
    // Reports are keyed by the standard form of the folder, as projects are: the threads of
    // one project may name its folder as "/a/b" and as "/a/b/", and their usage is one.
    std::vector<int> reportOf; // by project index
    QStringList reportPaths;
    QHash<QString, int> reportByPath;
    TokenReportAccumulator global;
    std::vector<TokenReportAccumulator> projects; // by report
    // The reports last made of them, and from what: a report whose windows, sums and
    // lifetime are as they were is not made again.
    struct Made
    {
        TokenReportAccumulator::Sums sums;
        qint64 lifetimeTokens = 0;
        std::optional<TokenUsageReport> report;
    };
    Made globalMade;
    std::vector<Made> projectsMade; // by report
    std::optional<QHash<QString, TokenUsageReport>> projectsByPath;
    quint64 projectsByPathLifetimes = 0; // the serial of the lifetimes they hold
};

} // namespace tolvaran::Internal
