#pragma once

#include <QtGlobal>

namespace tolvaran::fixtures {

// The state letter of /proc/<pid>/stat ('T' once a SIGSTOP has taken effect, 'Z' for a
// process ended and not yet reaped); 0 once no such process is there.
char processState(qint64 pid);

// Whether the process has ended: gone, or waiting to be reaped.
bool hasEnded(qint64 pid);

} // namespace tolvaran::fixtures
