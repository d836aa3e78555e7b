#include "platform/Timestamp.h"

namespace tolvaran {

Timestamp Timestamp::now()
{
    return fromMilliseconds(QDateTime::currentMSecsSinceEpoch());
}

Timestamp Timestamp::fromDateTime(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return distantPast();
    return fromMilliseconds(dateTime.toMSecsSinceEpoch());
}

QDateTime Timestamp::toDateTime() const
{
    return QDateTime::fromMSecsSinceEpoch(milliseconds(), Qt::UTC);
}

} // namespace tolvaran
