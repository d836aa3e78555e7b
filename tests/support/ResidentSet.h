#pragma once

#include <QtGlobal>

namespace tolvaran::fixtures {

// The resident set of this process (VmRSS of /proc/self/status) in bytes; 0 when unreadable.
qint64 residentSetBytes();
// The same of another process of the user's.
qint64 residentSetBytes(qint64 processID);

// What this process holds in memory, for tests that an operation does not grow it: the
// resident set, except under AddressSanitizer, whose quarantine keeps freed memory resident
// (up to 256 MB) so that the resident set measures the sanitizer; there it is the live heap.
qint64 heldMemoryBytes();

} // namespace tolvaran::fixtures
