#pragma once

namespace tolvaran {

// How a rename that the file system does whole or not at all treats what is at its target.
enum class AtomicRenameMode {
    exchange,  // the two entries swap places; both must exist
    noReplace, // fails with EEXIST when the target exists
};

// renameat2() of `from` to `to` (native paths) in `mode`: 0, or the errno of the failure.
// Nobody looking at either path ever finds it empty in between, which two plain renames
// cannot promise.
int atomicRename(const char *from, const char *to, AtomicRenameMode mode);

// The failure of a file system (or kernel) that has no such rename; the caller may fall back
// to plain renames.
bool isAtomicRenameUnsupported(int error);

} // namespace tolvaran
