#include "support/ResidentSet.h"

#include <QFile>
#include <QString>

#if defined(__SANITIZE_ADDRESS__)
#define TOLVARAN_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVARAN_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef TOLVARAN_ADDRESS_SANITIZER
// The sanitizer's own interface (its header comes with clang, not with GCC's packages).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#endif

namespace tolvaran::fixtures {

namespace {

qint64 residentSetOf(const QString &statusPath)
{
    QFile status(statusPath);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

} // namespace

qint64 residentSetBytes()
{
    return residentSetOf(QStringLiteral("/proc/self/status"));
}

qint64 residentSetBytes(qint64 processID)
{
    return residentSetOf(QStringLiteral("/proc/%1/status").arg(processID));
}

qint64 heldMemoryBytes()
{
#ifdef TOLVARAN_ADDRESS_SANITIZER
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    return residentSetBytes();
#endif
}

} // namespace tolvaran::fixtures
