#pragma once

#include <QString>

namespace tolvaran {

// A verified release, staged beside the running copy, and the script that swaps it in.
struct PreparedAppUpdate
{
    QString helperScript;     // install-update.sh in the work folder
    QString runningApp;       // the running application folder
    QString destinationApp;   // where the new copy goes: the running folder's own path
    QString stagedApp;        // the verified copy beside the running one
    QString backupApp;        // where the running folder is moved during the swap
    QString cleanupDirectory; // the work folder, removed once the new copy has started

    bool operator==(const PreparedAppUpdate &) const = default;
};

} // namespace tolvaran
