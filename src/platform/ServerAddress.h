#pragma once

#include <QString>

namespace tolvaran {

// The program's own server (teams and updates share it): an "https" address with a host and
// no path, no query and no trailing slash.
inline const QString defaultServerAddress = QStringLiteral("https://tolvaran.ostvik.com");

// The base address every request to the program's server is built from: TOLVARAN_SERVER_URL
// when it is set and not empty (tests, self-hosting), else defaultServerAddress. Read anew on
// every call.
QString serverAddress();

} // namespace tolvaran
