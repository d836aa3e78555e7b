#include "update/FolderExchange.h"

#include "platform/storage/AtomicRename.h"

#include <cstdio>
#include <cstring>

namespace tolvaran::FolderExchange {

std::optional<int> runIfAsked(int argc, char *argv[])
{
    if (argc < 2 || std::strcmp(argv[1], argument) != 0)
        return std::nullopt;
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s %s FOLDER OTHER_FOLDER\n", argv[0], argument);
        return failed;
    }
    const int error = atomicRename(argv[2], argv[3], AtomicRenameMode::exchange);
    if (error == 0)
        return exchanged;
    std::fprintf(stderr, "%s: cannot exchange %s and %s: %s\n", argv[0], argv[2], argv[3],
                 std::strerror(error));
    return isAtomicRenameUnsupported(error) ? unsupported : failed;
}

} // namespace tolvaran::FolderExchange
