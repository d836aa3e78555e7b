#pragma once

#include "platform/Error.h"

#include <QString>

namespace tolvaran {

enum class AppUpdateErrorKind {
    commandFailed,              // a tool (unpacking, copying) failed; carries its output
    invalidResponse,            // a check's answer was not an HTTP answer
    checkFailed,                // a check answered with a status other than 200 or 404
    invalidManifest,
    downloadFailed,
    sizeMismatch,
    checksumMismatch,
    unsupportedInstallLocation, // not an application folder, or one of an unknown name
    installLocationNotWritable,
    invalidBundle,              // wrong identifier or version in the downloaded copy
    insufficientDiskSpace,      // the download found the disk (or the user's quota) full
    // The copy runs from a Debian package: its package manager updates the program.
    managedInstallation,
    // The archive holds an entry that may not be unpacked (see ReleaseArchive).
    unsafeArchive,
    // The downloaded copy is not exactly what the maker signed.
    invalidSignature,
    // Anything the file system or the network reported; carries their sentence.
    system,
};

QString errorMessage(AppUpdateErrorKind kind);
// commandFailed and system: their detail, trimmed, when it is not blank; otherwise, and for
// every other kind, the fixed sentence.
QString errorMessage(AppUpdateErrorKind kind, const QString &detail);

// Why an update check or installation failed. Checks never show theirs; an installation's
// message is what the window's "Update Failed" alert shows.
using AppUpdateError = KindError<AppUpdateErrorKind>;

} // namespace tolvaran
