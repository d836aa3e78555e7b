#include "support/ProcessState.h"

#include <QFile>

namespace tolvaran::fixtures {

char processState(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    // The command name in parentheses may hold spaces; the state follows its last ')'.
    const qsizetype end = line.lastIndexOf(')');
    return end >= 0 && end + 2 < line.size() ? line.at(end + 2) : 0;
}

bool hasEnded(qint64 pid)
{
    const char state = processState(pid);
    return state == 0 || state == 'Z';
}

} // namespace tolvaran::fixtures
