#include "update/ApplicationFolder.h"

#include "platform/AppBrand.h"
#include "platform/Paths.h"
#include "update/AppUpdateError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

namespace tolvaran::ApplicationFolder {

namespace {

// A metadata file is a few dozen bytes; anything far larger is not one.
constexpr qint64 maximumMetadataBytes = 64 * 1024;

} // namespace

Metadata readMetadata(const QString &folder)
{
    const QString path = folder + QLatin1Char('/') + metadataFileName;
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile() || info.size() > maximumMetadataBytes)
        throw AppUpdateError(AppUpdateError::Kind::invalidBundle);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppUpdateError(AppUpdateError::Kind::invalidBundle);
    const QJsonDocument document = QJsonDocument::fromJson(file.read(maximumMetadataBytes));
    const QJsonObject object = document.object();
    const QJsonValue identifier = object.value(QStringLiteral("identifier"));
    const QJsonValue version = object.value(QStringLiteral("version"));
    if (!document.isObject() || !identifier.isString() || !version.isString())
        throw AppUpdateError(AppUpdateError::Kind::invalidBundle);
    return Metadata{identifier.toString(), version.toString()};
}

RunningCopy locateRunningCopy(const QString &executable)
{
    // A link to the program (the system's /proc/self/exe) names where the program is now.
    const QFileInfo file(executable);
    const QString program =
        standardizedPath(file.isSymLink() ? file.symLinkTarget() : file.absoluteFilePath());
    // Debian's packages install under /usr; dpkg, not the program, replaces those files.
    // /usr/local is the administrator's own, where no package installs.
    if (program.startsWith(QStringLiteral("/usr/"))
        && !program.startsWith(QStringLiteral("/usr/local/")))
        return RunningCopy{RunningCopy::Kind::managed, {}};
    const QString suffix = QLatin1Char('/') + executablePath;
    if (!program.endsWith(suffix))
        return {};
    const QString folder = program.chopped(suffix.size());
    if (folder.isEmpty() || QFileInfo(folder).isSymLink())
        return {};
    try {
        if (readMetadata(folder).identifier != AppBrand::identifier)
            return {};
    } catch (const AppUpdateError &) {
        return {}; // a build tree has no metadata file
    }
    return RunningCopy{RunningCopy::Kind::applicationFolder, folder};
}

QString replaceableFolder(const QString &executable)
{
    const RunningCopy running = locateRunningCopy(executable);
    if (running.kind == RunningCopy::Kind::managed)
        throw AppUpdateError(AppUpdateError::Kind::managedInstallation);
    if (running.kind != RunningCopy::Kind::applicationFolder)
        throw AppUpdateError(AppUpdateError::Kind::unsupportedInstallLocation);
    const QFileInfo info(running.folder);
    if (!AppBrand::supportedApplicationFolderNames().contains(info.fileName()))
        throw AppUpdateError(AppUpdateError::Kind::unsupportedInstallLocation);
    if (::access(QFile::encodeName(info.absolutePath()).constData(), W_OK) != 0)
        throw AppUpdateError(AppUpdateError::Kind::installLocationNotWritable);
    return running.folder;
}

} // namespace tolvaran::ApplicationFolder
