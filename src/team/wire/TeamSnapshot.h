#pragma once

#include "team_interface/TeamCommitEvent.h"
#include "team/wire/StoredDevicePresence.h"
#include "team/wire/TeamMetadata.h"
#include "team/wire/TeamSecurityStatus.h"
#include "team/wire/TeamWireError.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <optional>

namespace tolvaran {

// The team's state document: the body of every "team.snapshot" message and of the REST
// snapshot calls.
struct TeamSnapshot
{
    QString type;
    qint64 protocolVersion = 0;
    qint64 generatedAt = 0; // milliseconds since 1970
    std::optional<TeamMetadata> team;
    QList<StoredDevicePresence> members;
    std::optional<QList<TeamCommitEvent>> recentCommits;
    std::optional<TeamSecurityStatus> security;
    std::optional<QStringList> overlappingRepositoryIds;

    // One malformed member, commit or installation fails the whole snapshot; unknown members
    // are skipped. Throws TeamWireError; a snapshot beyond TeamWireLimits is refused and
    // logged before it is read into memory.
    static TeamSnapshot fromJson(QByteArrayView bytes);
    QByteArray toJson() const;

    static TeamSnapshot decode(TeamJsonReader &reader);
    void write(TeamJsonWriter &writer) const;
};

} // namespace tolvaran
