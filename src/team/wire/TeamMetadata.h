#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QString>

namespace tolvaran {

class TeamJsonReader;
class TeamJsonWriter;

// The team's display name: a snapshot's `team`, and the body of a rename and of its answer.
struct TeamMetadata
{
    QString name;

    friend bool operator==(const TeamMetadata &, const TeamMetadata &) = default;

    static TeamMetadata decode(TeamJsonReader &reader);
    void write(TeamJsonWriter &writer) const;
    // Throws TeamWireError.
    static TeamMetadata fromJson(QByteArrayView bytes);
    QByteArray toJson() const;
};

inline size_t qHash(const TeamMetadata &metadata, size_t seed = 0) noexcept
{
    return ::qHash(metadata.name, seed);
}

} // namespace tolvaran
