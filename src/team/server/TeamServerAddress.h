#pragma once

#include "platform/ServerAddress.h"

#include <QString>

namespace tolvaran {

// The team server is the program's own server (updates come from the same address).
inline constexpr const char *productionServerURL = defaultServerURL;
inline constexpr const char *teamServerURLVariable = serverURLVariable;

// The base address every team request is built from (serverAddress()). Checking the address
// is left to the request builders.
QString teamServerAddress();

} // namespace tolvaran
