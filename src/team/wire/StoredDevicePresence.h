#pragma once

#include "data/git/SharedProjectState.h"

#include <QList>
#include <QString>

#include <optional>

namespace tolvaran {

class TeamJsonReader;
class TeamJsonWriter;

// The last presence the team server holds for one device of the team.
struct StoredDevicePresence
{
    QString type;
    qint64 protocolVersion = 0;
    QString deviceId;
    QString memberName;
    QList<SharedProjectState> projects;
    qint64 serverUpdatedAt = 0;       // milliseconds since 1970
    std::optional<bool> isConnected;  // absent: not stated (differs from true and false)

    friend bool operator==(const StoredDevicePresence &, const StoredDevicePresence &) = default;

    static StoredDevicePresence decode(TeamJsonReader &reader);
    void write(TeamJsonWriter &writer) const;
};

size_t qHash(const StoredDevicePresence &presence, size_t seed = 0) noexcept;

} // namespace tolvaran
