#pragma once

#include <QString>

namespace tolvaran {

// How the program is laid out when installed as an application folder, the unit an update
// replaces:
//
//     Tolvaran/                   one of AppBrand::supportedApplicationFolderNames()
//         bin/tolvaran            the executable
//         application.json        {"identifier": "com.ostvik.tolvaran", "version": "26.9.1"}
//         application.signature   the maker's signature over everything else (see
//                                 ApplicationSignature)
//         ...                     whatever else the program brings
namespace ApplicationFolder {

inline const QString executablePath = QStringLiteral("bin/tolvaran");
inline const QString metadataFileName = QStringLiteral("application.json");
inline const QString signatureFileName = QStringLiteral("application.signature");
// The one entry at the top of a release archive: the application folder.
inline const QString releaseFolderName = QStringLiteral("Tolvaran");

// What an application folder's metadata says; empty texts when a key is missing.
struct Metadata
{
    QString identifier;
    QString version;
};

// Reads `folder`'s metadata file. Throws AppUpdateError (invalidBundle) when it is missing,
// not a regular file, larger than a metadata file can be, or not a JSON object whose two
// values are strings.
Metadata readMetadata(const QString &folder);

// The running copy as the updater sees it.
struct RunningCopy
{
    enum class Kind {
        applicationFolder, // an installed application folder: the updater may replace it
        managed,           // under /usr, a Debian package's: never replaced
        elsewhere,         // in no application folder (a build tree, a copied program)
    };
    Kind kind = Kind::elsewhere;
    QString folder; // the application folder (standardised); empty unless it is one
};

// Decides what the program at `executable` (the running program's file, or a link to it) is. It is an
// application folder when it is the folder's bin/tolvaran and the folder's metadata carries
// the program's identifier; a program under /usr but not /usr/local (a Debian package) is
// managed; any other (a build tree) is elsewhere. Reads only metadata; never throws.
RunningCopy locateRunningCopy(const QString &executable);

// The application folder of the program at `executable` when an update may replace it: an
// application folder (managedInstallation for a Debian package's copy,
// unsupportedInstallLocation for one in no application folder) with a supported name
// (unsupportedInstallLocation) in a parent folder this process may write
// (installLocationNotWritable: a copy installed for every user, which its installer replaces).
// Throws AppUpdateError.
QString replaceableFolder(const QString &executable);

} // namespace ApplicationFolder
} // namespace tolvaran
