#pragma once

#include "team/wire/TeamInstallationRole.h"

#include <QString>

#include <optional>

namespace tolvaran {

class TeamJsonReader;
class TeamJsonWriter;

// One device registered with a team, identified by its device. Times are milliseconds since
// 1970, as on the wire.
struct TeamInstallation
{
    QString deviceId;
    QString memberName;
    TeamInstallationRole role = TeamInstallationRole::member;
    qint64 registeredAt = 0;
    qint64 lastSeenAt = 0;
    std::optional<QString> appVersion;

    const QString &id() const { return deviceId; }

    friend bool operator==(const TeamInstallation &, const TeamInstallation &) = default;

    // A role other than the three texts fails the record.
    static TeamInstallation decode(TeamJsonReader &reader);
    void write(TeamJsonWriter &writer) const;
};

size_t qHash(const TeamInstallation &installation, size_t seed = 0) noexcept;

} // namespace tolvaran
