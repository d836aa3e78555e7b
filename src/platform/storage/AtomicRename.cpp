#include "platform/storage/AtomicRename.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>

namespace tolvaran {

int atomicRename(const char *from, const char *to, AtomicRenameMode mode)
{
    const unsigned int flags =
        mode == AtomicRenameMode::exchange ? RENAME_EXCHANGE : RENAME_NOREPLACE;
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, flags) == 0 ? 0 : errno;
}

bool isAtomicRenameUnsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

} // namespace tolvaran
