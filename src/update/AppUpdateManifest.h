#pragma once

#include <QByteArray>
#include <QString>

namespace tolvaran {

// A release as the update server announces it. Decoding needs all five keys with values of
// the right JSON type; other keys are ignored.
struct AppUpdateManifest
{
    QString version;      // three dot-separated numbers, "26.9.1"
    QString sha256;       // of the release archive, 64 hexadecimal digits, either case
    qint64 size = 0;      // of the release archive, in bytes
    QString downloadPath; // "/v1/app/releases/" + version + "/download"
    QString publishedAt;  // as the server writes it; never interpreted

    // Throws AppUpdateError (invalidManifest) when `json` is not an object with the five keys.
    static AppUpdateManifest decode(const QByteArray &json);

    friend bool operator==(const AppUpdateManifest &, const AppUpdateManifest &) = default;
};

// The largest release the program accepts, in bytes (100 MiB).
inline constexpr qint64 maximumReleaseSize = 104'857'600;

// Throws AppUpdateError (invalidManifest) unless the version has the form "NN.N.N" (two
// digits, one or two, one or more), the SHA-256 is 64 hexadecimal digits, the size lies in 1 to
// maximumReleaseSize and the download path is exactly the release's.
void validateManifest(const AppUpdateManifest &manifest);

// Whether `candidate` is a later version than `current`: both must be three numbers after
// dropping empty and non-numeric pieces (anything else is never newer); the first differing
// number decides. Equal versions are not newer.
bool isVersionNewer(const QString &candidate, const QString &current);

} // namespace tolvaran
