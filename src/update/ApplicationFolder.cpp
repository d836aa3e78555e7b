#include "update/ApplicationFolder.h"

#include "platform/AppBrand.h"
#include "platform/Paths.h"
#include "update/AppUpdateError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

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
    const QString program = standardizedPath(QFileInfo(executable).absoluteFilePath());
    // Debian's packages install under /usr; dpkg, not the program, replaces those files.
    if (program.startsWith(QStringLiteral("/usr/")))
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

} // namespace tolvaran::ApplicationFolder
