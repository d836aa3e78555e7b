// The team scan's reading of `git status --porcelain=v2 --branch -z` output: any bytes give
// a status that lists at most its limit of paths, all of them shareable, and no negative
// count; each entry alone parses too.
#include "data/git/ProjectRepositoryStore.h"
#include "data/git/PorcelainStatus.h"

#include <cstdint>
#include <cstdlib>

using namespace tolvaran;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString output =
        QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const Internal::PorcelainStatus status = Internal::PorcelainStatus::parse(output);
    if (status.changedFiles.size() > Internal::PorcelainStatus::maximumChangedFiles
        || status.stagedCount < 0 || status.modifiedCount < 0 || status.untrackedCount < 0)
        std::abort();
    for (const QString &path : status.changedFiles + status.untrackedFiles) {
        if (!ProjectRepositoryStore::canShare(path))
            std::abort();
    }
    for (const QString &entry : output.split(QChar(0)))
        Internal::PorcelainChangeRecord::parse(entry);
    return 0;
}
