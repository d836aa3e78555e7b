#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

namespace tolvaran {

QString standardizedPath(const QString &path)
{
    if (path.isEmpty() || !path.startsWith(QLatin1Char('/')))
        return path;
    return QDir::cleanPath(path);
}

QString lastPathComponent(const QString &path)
{
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    if (trimmed == QLatin1String("/"))
        return trimmed;
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

QString homeDirectory()
{
    return QDir::homePath();
}

QString codexHomeDirectory()
{
    const QString fromEnvironment = qEnvironmentVariable("CODEX_HOME");
    if (!fromEnvironment.isEmpty())
        return standardizedPath(fromEnvironment);
    return homeDirectory() + QStringLiteral("/.codex");
}

bool makePrivateDirectory(const QString &path)
{
    if (QFileInfo(path).isDir())
        return true;
    const QString parent = QFileInfo(path).absolutePath();
    if (parent != path && !QFileInfo(parent).isDir() && !makePrivateDirectory(parent))
        return false;
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && !QFileInfo(path).isDir())
        return false;
    return QFileInfo(path).isDir();
}

} // namespace tolvaran
