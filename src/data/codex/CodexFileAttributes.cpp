#include "data/codex/CodexFileAttributes.h"

#include <QFile>

#include <sys/stat.h>

namespace tolvaran::Internal {

std::optional<CodexFileAttributes> codexFileAttributes(const QString &path)
{
    // One stat call and no QDateTime: the activity reader asks this for every thread on every
    // refresh, and QFileInfo's local-time conversions would cost more than the call itself.
    struct stat status {};
    const QByteArray native = QFile::encodeName(path);
    if (path.isEmpty() || ::stat(native.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return CodexFileAttributes{
        quint64(status.st_size),
        qint64(status.st_mtim.tv_sec) * 1000000000 + qint64(status.st_mtim.tv_nsec),
    };
}

} // namespace tolvaran::Internal
