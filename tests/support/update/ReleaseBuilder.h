#pragma once

#include "update/AppUpdateManifest.h"

#include <QByteArray>
#include <QString>

namespace tolvaran::fixtures {

class LocalHttpServer;
class ReleaseSigningKey;

// Application folders, release archives and manifests for the updater's tests.
namespace ReleaseBuilder {

// Writes an application folder at `folder`: bin/tolvaran, an executable shell script running
// `programBody`; application.json with `identifier` and `version`; and lib/readme.txt, so the
// folder has more than one level.
void writeApplicationFolder(const QString &folder, const QString &version,
                            const QString &programBody = QStringLiteral("exit 0"),
                            const QString &identifier = QStringLiteral("com.ostvik.tolvaran"));

// Signs `folder`'s canonical listing with `key` into its signature file.
void signApplicationFolder(const QString &folder, const ReleaseSigningKey &key);

// The release archive of the folder `parent`/Tolvaran, made by the tar program as the release
// script makes it.
QByteArray archiveOf(const QString &parent);

// The manifest announcing `archive` as `version`.
AppUpdateManifest manifestFor(const QString &version, const QByteArray &archive);
QByteArray manifestJson(const AppUpdateManifest &manifest);

// The server's base address, "http://127.0.0.1:<port>".
QString baseAddress(const LocalHttpServer &server);

// Serves `manifest` at "/v1/app/update" and `archive` at its download path.
void publish(LocalHttpServer &server, const AppUpdateManifest &manifest,
             const QByteArray &archive);

} // namespace ReleaseBuilder
} // namespace tolvaran::fixtures
