#pragma once

#include <QTimer>

namespace tolvaran::fixtures::bench {

// Samples this process's resident set every few milliseconds while the event loop runs, from
// its construction on, for figures of an operation's peak.
class MemorySampler final
{
public:
    MemorySampler();
    // Takes a sample now (for the moment an operation ends).
    void sample();
    // The highest sample above the one taken at construction, in MiB.
    double peakGrowth() const { return m_peak - m_start; }

private:
    QTimer m_timer;
    double m_start = 0.0;
    double m_peak = 0.0;
};

} // namespace tolvaran::fixtures::bench
