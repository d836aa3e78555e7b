#pragma once

#include <QString>
#include <QStringList>

namespace tolvaran {

// One running Codex desktop application, as recorded when it was found: enough to tell it
// from a later process that reuses its id, and to start it again the way it ran.
struct CodexApplicationInstance
{
    qint64 processId = 0;
    // When the process started, in clock ticks since boot (/proc/<pid>/stat): a process id is
    // only this instance while the start time matches.
    quint64 startTime = 0;
    QString executablePath;
    QStringList arguments; // without the program name
    QString workingDirectory;

    bool operator==(const CodexApplicationInstance &) const = default;
};

} // namespace tolvaran
