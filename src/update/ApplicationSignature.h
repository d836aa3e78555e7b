#pragma once

#include <QByteArray>
#include <QString>

class QFile;

#include <stop_token>

namespace tolvaran {

// The maker's signature over an application folder: an Ed25519 signature (OpenSSL) over the
// folder's canonical listing, stored base64-encoded in the folder's signature file. The
// listing names every entry but the signature file, so an added, missing, renamed or changed
// file, a changed link or a lost executable bit all break the signature.
//
// Canonical listing: one line per entry below the folder, sorted by the path's UTF-8 bytes,
// fields separated by tabs, each line ending in a line feed:
//     d <path>                        a folder
//     f <x or -> <sha256> <path>      a regular file; x when its owner may execute it
//     l <path> <target>               a symbolic link, with its target as written
// Paths are relative to the folder, "/"-separated. scripts/make-release.sh writes the same.
namespace ApplicationSignature {

// The listing of `folder`. Throws AppUpdateError (invalidSignature) when an entry is of
// another kind (device, pipe, socket), has a name with a control character or cannot be
// read, and (system) when `stopToken` asks to stop.
QByteArray canonicalListing(const QString &folder, const std::stop_token &stopToken = {});

// The SHA-256 of the rest of `file` (open for reading) as lowercase hexadecimal, read a
// chunk at a time so that a stop is seen between chunks: throws AppUpdateError (system) when
// `stopToken` asks to stop. Empty when reading fails (file.errorString() says why).
QByteArray sha256(QFile &file, const std::stop_token &stopToken = {});

// Whether `signature` is a valid Ed25519 signature of `message` by `publicKey` (32 bytes).
bool verifyEd25519(const QByteArray &message, const QByteArray &signature,
                   const QByteArray &publicKey);

// Throws AppUpdateError (invalidSignature) unless `folder`'s signature file holds a valid
// signature by `publicKey` of the folder's canonical listing as it is now on disk.
void verifyFolder(const QString &folder, const QByteArray &publicKey,
                  const std::stop_token &stopToken = {});

} // namespace ApplicationSignature
} // namespace tolvaran
