#pragma once

#include <QString>

namespace tolvaran {

// How far one piece of long work has come, as its job reports it.
struct WorkProgress
{
    // From 0 to 1; negative while the amount of work is not known yet.
    double fraction = -1.0;
    // What the work is doing, for a status line ("Downloading 12 MB of 40 MB"); may be empty.
    QString text;

    bool isDeterminate() const { return fraction >= 0.0; }
    bool operator==(const WorkProgress &) const = default;
};

} // namespace tolvaran
