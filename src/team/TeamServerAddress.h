#pragma once

#include <QString>

namespace tolvaran {

// The team server's base address: an "https" URL with a host and nothing else.
inline constexpr char productionServerURL[] = "https://team.tolvaran.app";

// The environment variable that points the program at another team server (tests,
// self-hosting). Read anew on every call.
inline constexpr char teamServerURLVariable[] = "TOLVARAN_SERVER_URL";

// The base address every team request is built from: the variable's value when it is set and
// not empty, else productionServerURL. Checking the address is left to the request builders.
QString teamServerAddress();

} // namespace tolvaran
