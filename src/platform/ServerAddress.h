#pragma once

#include <QString>

namespace tolvaran {

// The program's own server, which teams and updates share: an "https" address with a host and
// no path, no query and no trailing slash.
inline constexpr char defaultServerURL[] = "https://team.tolvaran.app";
inline const QString defaultServerAddress = QString::fromLatin1(defaultServerURL);

// The environment variable that points the program at another server (tests, self-hosting).
inline constexpr char serverURLVariable[] = "TOLVARAN_SERVER_URL";

// The base address every request to the program's server is built from: the variable's value
// when it is set and not empty, else defaultServerAddress. Read anew on every call.
QString serverAddress();

} // namespace tolvaran
