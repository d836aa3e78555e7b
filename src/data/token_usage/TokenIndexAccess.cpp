#include "data/token_usage/TokenIndexAccess.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace tolvaran {

RolloutFileState TokenIndexAccess::systemFileState(const QString &path)
{
    struct stat info{};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {qint64(info.st_size),
            qint64(info.st_mtim.tv_sec) * 1000000000 + qint64(info.st_mtim.tv_nsec)};
}

qint64 TokenIndexAccess::systemRead(int descriptor, char *buffer, qint64 size, qint64 offset)
{
    return qint64(::pread(descriptor, buffer, size_t(size), off_t(offset)));
}

} // namespace tolvaran
