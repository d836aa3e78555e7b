#include "update/AppUpdateError.h"

namespace tolvaran {

QString errorMessage(AppUpdateErrorKind kind)
{
    using Kind = AppUpdateErrorKind;
    switch (kind) {
    case Kind::commandFailed:
        return QStringLiteral("The update installer could not prepare the app.");
    case Kind::invalidResponse:
    case Kind::checkFailed:
        return QStringLiteral("The update server returned an invalid response.");
    case Kind::invalidManifest:
        return QStringLiteral("The update information is invalid.");
    case Kind::downloadFailed:
        return QStringLiteral("The update could not be downloaded.");
    case Kind::sizeMismatch:
        return QStringLiteral("The downloaded update has an unexpected size.");
    case Kind::checksumMismatch:
        return QStringLiteral("The downloaded update failed integrity verification.");
    case Kind::unsupportedInstallLocation:
        return QStringLiteral("Updates require Tolvaran to be installed in an application "
                              "folder.");
    case Kind::installLocationNotWritable:
        return QStringLiteral("The app's installation folder is not writable. A copy "
                              "installed for every user is updated by running its install "
                              "again as root.");
    case Kind::invalidBundle:
        return QStringLiteral("The downloaded app has an unexpected identity or version.");
    case Kind::insufficientDiskSpace:
        return QStringLiteral("There is not enough disk space to download the update.");
    case Kind::managedInstallation:
        return QStringLiteral("This copy of Tolvaran is updated by its package manager or "
                              "build, not by itself.");
    case Kind::unsafeArchive:
        return QStringLiteral("The downloaded update contains entries that cannot be "
                              "installed safely.");
    case Kind::invalidSignature:
        return QStringLiteral("The downloaded app is not signed by Tolvaran's maker.");
    case Kind::system:
        return QStringLiteral("The update could not be installed.");
    }
    Q_UNREACHABLE();
    return {};
}

QString errorMessage(AppUpdateErrorKind kind, const QString &detail)
{
    const bool carriesDetail =
        kind == AppUpdateErrorKind::commandFailed || kind == AppUpdateErrorKind::system;
    const QString trimmed = detail.trimmed();
    return carriesDetail && !trimmed.isEmpty() ? trimmed : errorMessage(kind);
}

} // namespace tolvaran
