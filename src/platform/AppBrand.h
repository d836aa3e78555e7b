#pragma once

#include <QString>

namespace tolvaran {

// The application's fixed identity, read by the window's header, the team service and the
// updater.
namespace AppBrand {

// Used when the running program states no version of its own.
inline const QString fallbackVersion = QStringLiteral("26.8.70");

// The program's version: QCoreApplication::applicationVersion() (set from the build by the
// entry point) when it is not empty, else fallbackVersion. Read anew on every call.
QString version();

} // namespace AppBrand
} // namespace tolvaran
