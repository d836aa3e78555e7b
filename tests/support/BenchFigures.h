#pragma once

#include <QString>

#include <functional>
#include <vector>

// Small helpers the benchmark programs share: timing a piece of work, order statistics, and
// the reference read of Codex's thread rows by the sqlite3 command-line tool.
namespace tolvaran::fixtures::bench {

// The query the thread reader runs over a current table when archived threads are included.
extern const char *const sameThreadRowsQuery;

double milliseconds(const std::function<void()> &work);
// `fraction` 0.5 is the median; `samples` need not be sorted.
double percentile(std::vector<double> samples, double fraction);
double median(int count, const std::function<double()> &sample);
// Wall time of `sqlite3 -readonly DATABASE sameThreadRowsQuery`, process start included.
double sqliteToolMilliseconds(const QString &databasePath);

} // namespace tolvaran::fixtures::bench
