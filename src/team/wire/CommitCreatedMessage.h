#pragma once

#include "team/wire/TeamCommitPayload.h"

namespace tolvaran {

// The announcement of a new local commit under protocol 1. Detected commits are queued in
// this form, with the repository's own identity, whatever the protocol.
struct CommitCreatedMessage
{
    static constexpr char type[] = "commit.created";
    static constexpr qint64 protocolVersion = 1;

    QString deviceId;   // at the time the commit was detected
    QString memberName; // at the time the commit was detected
    TeamCommitPayload commit;

    friend bool operator==(const CommitCreatedMessage &, const CommitCreatedMessage &) = default;

    QByteArray toJson() const;

    // The commit message under either protocol: the shape is the same, only the version
    // differs.
    static QByteArray encode(qint64 version, const QString &device, const QString &member,
                             const TeamCommitPayload &payload);
};

} // namespace tolvaran
