#pragma once

#include "data/git/SharedProjectState.h"
#include "platform/Timestamp.h"
#include "team/view/TeamConflictLevel.h"

#include <QString>
#include <QStringList>

namespace tolvaran {

// One teammate working on the repository of a local project, as the snapshot application
// builds it. Identified by the teammate's device.
struct TeamProjectPeer
{
    QString deviceId;
    QString memberName;
    SharedProjectState project;     // the teammate's published state for the repository
    QStringList overlappingFiles;   // in both changed-file lists, sorted ascending
    TeamConflictLevel conflictLevel = TeamConflictLevel::awareness;
    Timestamp serverUpdatedAt;
    bool isConnected = true;        // a presence that does not say counts as connected

    const QString &id() const { return deviceId; }

    friend bool operator==(const TeamProjectPeer &, const TeamProjectPeer &) = default;
};

size_t qHash(const TeamProjectPeer &peer, size_t seed = 0) noexcept;

} // namespace tolvaran
