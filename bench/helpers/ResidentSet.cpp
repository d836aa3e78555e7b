#include "helpers/ResidentSet.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <malloc.h>

namespace tolvaran::fixtures::bench {

ResidentSet residentSet(qint64 pid)
{
    QFile status(pid == 0 ? QStringLiteral("/proc/self/status")
                          : QStringLiteral("/proc/%1/status").arg(pid));
    ResidentSet figures;
    if (!status.open(QIODevice::ReadOnly))
        return figures;
    for (const QByteArray &line : status.readAll().split('\n')) {
        const auto mebibytes = [&] {
            return line.simplified().split(' ').value(1).toDouble() / 1024.0;
        };
        if (line.startsWith("VmRSS:"))
            figures.current = mebibytes();
        else if (line.startsWith("VmHWM:"))
            figures.peak = mebibytes();
        else if (line.startsWith("RssAnon:"))
            figures.anonymous = mebibytes();
    }
    return figures;
}

HeapFigures heapFigures()
{
    const struct mallinfo2 info = ::mallinfo2();
    constexpr double mebibyte = 1024.0 * 1024.0;
    return {double(info.uordblks + info.hblkhd) / mebibyte, double(info.fordblks) / mebibyte};
}

} // namespace tolvaran::fixtures::bench
