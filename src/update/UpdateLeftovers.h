#pragma once

#include <QString>
#include <QStringList>

namespace tolvaran {

// What an installation cut short leaves beside the installed application folder: the staged
// copy and the backup (AppUpdateInstaller::stagedPrefix, backupPrefix), whole or in part. The
// installer script leaves a copy that starts at the install path however it ends, so once no
// script runs for that folder they are of no use, and the next start of the program removes
// them.
namespace UpdateLeftovers {

// Whether an installer script for the application folder `folder` runs on this computer: a
// process running AppUpdateInstaller::scriptFileName with `folder` as its running copy.
bool installerRunsFor(const QString &folder);

// Removes the leftovers beside the application folder `folder` unless an installer script
// runs for it, and returns the names it removed. What cannot be removed stays; never throws.
QStringList remove(const QString &folder);

} // namespace UpdateLeftovers
} // namespace tolvaran
