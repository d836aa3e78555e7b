#pragma once

#include <QString>
#include <QStringList>

namespace tolvaran::fixtures {

// Stand-ins for the git tool, written as small shell scripts into a test's folder and handed
// to the code under test as its git executable.
class GitDouble final
{
public:
    // A git that passes every run on to the real git and appends its arguments, one run per
    // line, to `logPath`.
    static QString recording(const QString &folder, const QString &logPath);
    // A git that ignores SIGTERM and never ends on its own: it writes its own process id and
    // that of a child it waits for to `pidPath`, one per line.
    static QString hanging(const QString &folder, const QString &pidPath);

    // The runs a recording git logged (empty when none).
    static QStringList loggedRuns(const QString &logPath);
    // Whether the process is gone (or a zombie waiting to be reaped by whoever inherited it),
    // waiting up to a generous deadline for it to go.
    static bool processEnds(qint64 pid);
};

} // namespace tolvaran::fixtures
