#pragma once

#include <QString>

class QUrl;

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

// Whether the program may ask a server at `url`, one rule for teams and updates alike.
enum class ServerAddressCheck {
    allowed,  // https (the scheme in any letter case) to any host, or http to this computer
    insecure, // plain http to any other host: what goes out could be read or changed on the way
    invalid,  // not an http or https URL with a host
};
// Plain http is allowed only to 127.0.0.1 and localhost (a local or test server), never to
// another loopback address or a name that merely ends in one of them.
ServerAddressCheck checkServerAddress(const QUrl &url);

} // namespace tolvaran
