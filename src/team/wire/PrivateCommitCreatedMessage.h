#pragma once

#include "team/wire/CommitCreatedMessage.h"

namespace tolvaran {

// The announcement of a new local commit under protocol 2, which names the repository by its
// wire identifier.
struct PrivateCommitCreatedMessage
{
    static constexpr char type[] = "commit.created";
    static constexpr qint64 protocolVersion = 2;

    QString deviceId;
    QString memberName;
    TeamCommitPayload commit;

    // A copy of the queued message with its commit's repository named by `wireRepositoryId`.
    static PrivateCommitCreatedMessage fromQueued(const CommitCreatedMessage &queued,
                                                  const QString &wireRepositoryId);

    QByteArray toJson() const;
};

} // namespace tolvaran
