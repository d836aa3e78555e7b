#include "update/FolderExchange.h"

#include "platform/storage/AtomicRename.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace tolvaran::FolderExchange {

namespace {

int exchange(const char *program, const char *folder, const char *other)
{
    const int error = atomicRename(folder, other, AtomicRenameMode::exchange);
    if (error == 0)
        return exchanged;
    std::fprintf(stderr, "%s: cannot exchange %s and %s: %s\n", program, folder, other,
                 std::strerror(error));
    return isAtomicRenameUnsupported(error) ? unsupported : failed;
}

int replace(const char *program, const char *destination, const char *replacement,
            const char *aside)
{
    struct stat status;
    const bool present = ::lstat(destination, &status) == 0;
    if (present && std::rename(destination, aside) != 0) {
        std::fprintf(stderr, "%s: cannot move %s to %s: %s\n", program, destination, aside,
                     std::strerror(errno));
        return failed;
    }
    if (std::rename(replacement, destination) != 0) {
        const int error = errno;
        if (present)
            std::rename(aside, destination);
        std::fprintf(stderr, "%s: cannot move %s to %s: %s\n", program, replacement,
                     destination, std::strerror(error));
        return failed;
    }
    return replaced;
}

} // namespace

std::optional<int> runIfAsked(int argc, char *argv[])
{
    if (argc < 2)
        return std::nullopt;
    if (std::strcmp(argv[1], argument) == 0) {
        if (argc != 4) {
            std::fprintf(stderr, "usage: %s %s FOLDER OTHER_FOLDER\n", argv[0], argument);
            return failed;
        }
        return exchange(argv[0], argv[2], argv[3]);
    }
    if (std::strcmp(argv[1], replaceArgument) == 0) {
        if (argc != 5) {
            std::fprintf(stderr, "usage: %s %s DESTINATION NEW ASIDE\n", argv[0],
                         replaceArgument);
            return failed;
        }
        return replace(argv[0], argv[2], argv[3], argv[4]);
    }
    return std::nullopt;
}

} // namespace tolvaran::FolderExchange
