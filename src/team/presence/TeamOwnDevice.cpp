#include "team/presence/TeamOwnDevice.h"

#include <QCollator>

namespace tolvaran {

bool TeamOwnDevice::isAnotherPerson(const QString &deviceId,
                                    const QString &deviceMemberName) const
{
    return deviceId != deviceID
        && teamTrimmedNameKey(deviceMemberName) != teamTrimmedNameKey(memberName);
}

QString teamTrimmedNameKey(const QString &name)
{
    return name.trimmed().toLower();
}

QString teamPersonKey(const QString &name)
{
    return name.toLower();
}

bool teamNameLessThan(const QString &left, const QString &right)
{
    // QCollator is not safe to share between threads; one per thread, made on first use.
    thread_local const QCollator collator = [] {
        QCollator made;
        made.setCaseSensitivity(Qt::CaseInsensitive);
        return made;
    }();
    return collator.compare(left, right) < 0;
}

} // namespace tolvaran
