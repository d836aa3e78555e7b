#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tolvaran {

// The application's fixed identity, read by the window's header, the team service and the
// updater.
namespace AppBrand {

// Used when the running program states no version of its own.
inline const QString fallbackVersion = QStringLiteral("26.8.70");

// The identifier every copy of the program carries in its application folder's metadata.
inline const QString identifier = QStringLiteral("com.ostvik.tolvaran");

// The program's version: QCoreApplication::applicationVersion() (set from the build by the
// entry point) when it is not empty, else fallbackVersion. Read anew on every call.
QString version();

// The names an installed application folder may have for the updater to replace it: the
// current product name first, then the two names earlier releases were installed under.
// Compared exactly, letter case included. A folder keeps its name across updates.
const QStringList &supportedApplicationFolderNames();

// The maker's Ed25519 public key (32 raw bytes) that a release's signature must verify
// against. It is built into the program; a build may name another key
// (TOLVARAN_RELEASE_PUBLIC_KEY, hexadecimal, at configure time) to try releases it signs
// itself. Nothing at run time can change it.
const QByteArray &releaseSigningKey();

} // namespace AppBrand
} // namespace tolvaran
