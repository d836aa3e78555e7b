#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tolvaran {

class TeamJsonReader;
class TeamJsonWriter;

// A new local commit as this device announces it.
struct TeamCommitPayload
{
    QString id;           // made once per announcement: a random UUID in lower case
    QString repositoryId; // the wire repository identifier under protocol 2
    QString repositoryName;
    std::optional<QString> branch; // absent on a detached head
    QString headSha;
    QString subject;
    qint64 committedAt = 0; // milliseconds since 1970

    friend bool operator==(const TeamCommitPayload &, const TeamCommitPayload &) = default;

    static TeamCommitPayload decode(TeamJsonReader &reader);
    void write(TeamJsonWriter &writer) const;
};

size_t qHash(const TeamCommitPayload &commit, size_t seed = 0) noexcept;

} // namespace tolvaran
