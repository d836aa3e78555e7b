#include "platform/ApplicationSupport.h"

#include "platform/Paths.h"

#include <QDir>

namespace tolvaran {

QString defaultApplicationSupportDirectory()
{
    // QStandardPaths::AppDataLocation would add the organisation and application names of the
    // running program; the folder is fixed instead, so that tools and tests agree on it.
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !base.startsWith(QLatin1Char('/')))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return standardizedPath(base) + QStringLiteral("/Tolvaran");
}

bool ensureApplicationSupportDirectory(const QString &directory)
{
    return makePrivateDirectory(directory);
}

} // namespace tolvaran
