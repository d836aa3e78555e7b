#pragma once

#include <QString>

namespace tolvaran {

// The program's own server, which teams and updates share: an "https" address with a host and
// no path, no query and no trailing slash. (The team library's productionServerURL is the same
// address.)
inline const QString defaultServerAddress = QStringLiteral("https://team.tolvaran.app");

// The base address every request to the program's server is built from: TOLVARAN_SERVER_URL
// when it is set and not empty (tests, self-hosting), else defaultServerAddress. Read anew on
// every call.
QString serverAddress();

} // namespace tolvaran
