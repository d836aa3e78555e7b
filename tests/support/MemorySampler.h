#pragma once

#include <QTimer>

namespace tolvaran::fixtures {

// Samples what the process holds (heldMemoryBytes()) every few milliseconds while the test's
// event loop runs, from its construction on, for tests that an operation's peak stays low.
class MemorySampler final
{
public:
    MemorySampler();
    // Takes a sample now (for the moment an operation ends).
    void sample();
    // The highest sample above the one taken at construction.
    qint64 peakGrowth() const { return m_peak - m_start; }

private:
    QTimer m_timer;
    qint64 m_start = 0;
    qint64 m_peak = 0;
};

} // namespace tolvaran::fixtures
