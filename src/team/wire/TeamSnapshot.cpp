#include "team/wire/TeamSnapshot.h"

#include "team/wire/TeamJsonReader.h"
#include "team/wire/TeamJsonWriter.h"
#include "team/wire/TeamWireCoding.h"
#include "team/wire/TeamWireLimits.h"

namespace tolvaran {

using namespace Qt::StringLiterals;

TeamSnapshot TeamSnapshot::decode(TeamJsonReader &reader)
{
    std::optional<QString> type;
    std::optional<qint64> protocolVersion, generatedAt;
    std::optional<QList<StoredDevicePresence>> members;
    TeamSnapshot snapshot;
    reader.beginObject();
    while (const auto key = reader.nextKey()) {
        if (*key == "type") {
            type = reader.requiredString();
        } else if (*key == "protocolVersion") {
            protocolVersion = reader.requiredInt64();
        } else if (*key == "generatedAt") {
            generatedAt = reader.requiredInt64();
        } else if (*key == "team") {
            snapshot.team.reset();
            if (!reader.skipNull())
                snapshot.team = TeamMetadata::decode(reader);
        } else if (*key == "members") {
            if (reader.skipNull())
                reader.failMissing("members");
            members = reader.readArray<StoredDevicePresence>(
                TeamWireLimits::maxMembers, "members", &StoredDevicePresence::decode);
        } else if (*key == "recentCommits") {
            snapshot.recentCommits.reset();
            if (!reader.skipNull()) {
                snapshot.recentCommits = reader.readArray<TeamCommitEvent>(
                    TeamWireLimits::maxRecentCommits, "recent commits",
                    &TeamWireCoding::decodeCommitEvent);
            }
        } else if (*key == "security") {
            snapshot.security.reset();
            if (!reader.skipNull())
                snapshot.security = TeamSecurityStatus::decode(reader);
        } else if (*key == "overlappingRepositoryIds") {
            snapshot.overlappingRepositoryIds = reader.optionalStringArray();
        } else {
            reader.skipValue();
        }
    }
    snapshot.type = TeamJsonReader::take(type, "type", reader);
    snapshot.protocolVersion = TeamJsonReader::take(protocolVersion, "protocolVersion", reader);
    snapshot.generatedAt = TeamJsonReader::take(generatedAt, "generatedAt", reader);
    snapshot.members = TeamJsonReader::take(members, "members", reader);
    return snapshot;
}

void TeamSnapshot::write(TeamJsonWriter &writer) const
{
    writer.beginObject();
    writer.stringField("type"_L1, type);
    writer.intField("protocolVersion"_L1, protocolVersion);
    writer.intField("generatedAt"_L1, generatedAt);
    if (team) {
        writer.key("team"_L1);
        team->write(writer);
    }
    writer.arrayField("members"_L1, members,
                      [](TeamJsonWriter &w, const StoredDevicePresence &m) { m.write(w); });
    if (recentCommits) {
        writer.arrayField("recentCommits"_L1, *recentCommits,
                          [](TeamJsonWriter &w, const TeamCommitEvent &commit) {
                              TeamWireCoding::write(w, commit);
                          });
    }
    if (security) {
        writer.key("security"_L1);
        security->write(writer);
    }
    if (overlappingRepositoryIds)
        writer.stringArrayField("overlappingRepositoryIds"_L1, *overlappingRepositoryIds);
    writer.endObject();
}

TeamSnapshot TeamSnapshot::fromJson(QByteArrayView bytes)
{
    return TeamJsonReader::decodeDocument<TeamSnapshot>(bytes);
}

QByteArray TeamSnapshot::toJson() const
{
    TeamJsonWriter writer;
    write(writer);
    return writer.bytes();
}

} // namespace tolvaran
