#pragma once

#include <QtGlobal>

namespace tolvaran::fixtures::bench {

// A process's resident set and its peak, in MiB, as /proc/<pid>/status gives them (VmRSS and
// VmHWM); zeros when the process is gone.
struct ResidentSet
{
    double current = 0.0;
    double peak = 0.0;
    double anonymous = 0.0; // RssAnon: of `current`, what no file backs (the heap among it)
};

// `pid` 0 is this process.
ResidentSet residentSet(qint64 pid = 0);

// This process's heap, in MiB, as the C library counts it over all its arenas: what is
// allocated (mapped chunks included), and what it holds free.
struct HeapFigures
{
    double inUse = 0.0;
    double free = 0.0;
};
HeapFigures heapFigures();

} // namespace tolvaran::fixtures::bench
