#pragma once

#include <QString>

#include <optional>

namespace tolvaran {

// A commit a teammate pushed, as the team server reports it. Times are milliseconds since
// 1970, as on the wire.
struct TeamCommitEvent
{
    QString id;
    QString deviceId;
    QString memberName;
    QString repositoryId;
    QString repositoryName;
    std::optional<QString> branch;
    QString headSha;
    QString subject;
    qint64 committedAt = 0;
    qint64 serverReceivedAt = 0;

    friend bool operator==(const TeamCommitEvent &, const TeamCommitEvent &) = default;
};

} // namespace tolvaran
