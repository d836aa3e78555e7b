#pragma once

#include "update/PreparedAppUpdate.h"

#include <QNetworkRequest>
#include <QString>
#include <QStringList>

#include <stop_token>

namespace tolvaran {

class WorkContext;
struct AppUpdateEnvironment;
struct AppUpdateManifest;

// The steps of one installation. Everything but launchHelper blocks: run it on a worker.
namespace AppUpdateInstaller {

// Names of one installation (the token is one random UUID, the same in all of them).
inline const QString workDirectoryPrefix = QStringLiteral("tolvaran-update-");
inline const QString archiveFileName = QStringLiteral("update.tar.gz");
inline const QString unpackDirectoryName = QStringLiteral("unpacked");
inline const QString scriptFileName = QStringLiteral("install-update.sh");
inline const QString stagedPrefix = QStringLiteral(".Tolvaran.update-");
inline const QString backupPrefix = QStringLiteral(".Tolvaran.backup-");

// Checks where the program runs, downloads the release announced by `manifest` through
// `request`, verifies it (size, SHA-256, identity and version, the maker's signature),
// stages a copy beside the running folder, verifies that copy again and writes the installer
// script. Checks in order, each failure thrown at once as AppUpdateError:
//   - the release is newer than the running version (invalidBundle otherwise: a replayed
//     manifest of an older release never installs);
//   - the program runs from an installed application folder (managedInstallation for a
//     Debian package, unsupportedInstallLocation for a build tree or any other place) whose
//     name is supported (unsupportedInstallLocation) and whose parent folder is writable
//     (installLocationNotWritable);
//   - a new private work folder (0700) in the temporary folder; one that exists already is a
//     failure, never reused;
//   - the download, its size and its SHA-256; the archive's entries; the unpacked folder's
//     metadata; its signature; the copy; the copy's signature.
// Left on disk: nothing of this installation when a check before the work folder fails;
// after that, a failure removes the work folder and the staged copy. Success leaves both,
// with the archive but not its unpacked contents, for the script.
PreparedAppUpdate prepare(const QNetworkRequest &request, const AppUpdateManifest &manifest,
                          const AppUpdateEnvironment &environment, const WorkContext &context);

// The lower-case hexadecimal SHA-256 of the file at `path`. Throws AppUpdateError (system)
// when it cannot be read.
QString sha256(const QString &path, const std::stop_token &stopToken = {});

// Runs `program` with `arguments` to its end; its output (standard output and error). Throws
// AppUpdateError: commandFailed with the output for a non-zero exit, system when it cannot
// start or is stopped.
QString run(const QString &program, const QStringList &arguments,
            const std::stop_token &stopToken = {});

// The installer script, as written to the work folder. Its arguments: the process to wait
// for, the running folder, the destination, the staged copy, the backup, the work folder and
// the number of 0.2 s checks a relaunched copy must survive to count as started.
QString installerScript();

// Starts the script with /bin/sh, detached, in a session of its own so that it outlives the
// program; returns at once. Throws AppUpdateError (system) when it cannot start.
void launchHelper(const PreparedAppUpdate &prepared, qint64 processID, int settleChecks);

} // namespace AppUpdateInstaller
} // namespace tolvaran
