#pragma once

#include "platform/Error.h"

#include <QString>

namespace tolvaran {

// Why an update check or installation failed. Checks never show theirs; an installation's
// message is what the window's "Update Failed" alert shows.
class AppUpdateError final : public Error
{
public:
    enum class Kind {
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

    explicit AppUpdateError(Kind kind, const QString &detail = {});

    static AppUpdateError commandFailed(const QString &output)
    {
        return AppUpdateError(Kind::commandFailed, output);
    }
    static AppUpdateError system(const QString &description)
    {
        return AppUpdateError(Kind::system, description);
    }

    Kind kind() const { return m_kind; }

    // The sentence each kind shows (commandFailed and system: their detail when it is not
    // blank).
    static QString describe(Kind kind, const QString &detail = {});

private:
    Kind m_kind;
};

} // namespace tolvaran
