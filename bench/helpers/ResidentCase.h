#pragma once

#include <QList>
#include <QString>

namespace tolvaran::fixtures::bench {

// The figures of the case `what`, measured by this program run with "--resident", `what` and
// `folder` in a process of its own whose downloads are cached under `cacheFolder`: what it
// prints, its peak resident set last, turned from KiB to megabytes; empty when that failed.
QList<double> residentCaseFigures(const QString &what, const QString &folder,
                                  const QString &cacheFolder);

// `value` megabytes as the figures are printed: right-aligned, one decimal.
QString megabytes(double value);

} // namespace tolvaran::fixtures::bench
