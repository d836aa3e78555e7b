#include "team/wire/StoredDevicePresence.h"

#include "team/wire/TeamJsonReader.h"
#include "team/wire/TeamJsonWriter.h"
#include "team/wire/TeamWireCoding.h"
#include "team/wire/TeamWireLimits.h"

#include <QHashFunctions>

namespace tolvaran {

using namespace Qt::StringLiterals;

StoredDevicePresence StoredDevicePresence::decode(TeamJsonReader &reader)
{
    std::optional<QString> type, deviceId, memberName;
    std::optional<qint64> protocolVersion, serverUpdatedAt;
    std::optional<QList<SharedProjectState>> projects;
    StoredDevicePresence presence;
    reader.beginObject();
    while (const auto key = reader.nextKey()) {
        if (*key == "type") {
            type = reader.requiredString();
        } else if (*key == "protocolVersion") {
            protocolVersion = reader.requiredInt64();
        } else if (*key == "deviceId") {
            deviceId = reader.requiredString();
        } else if (*key == "memberName") {
            memberName = reader.requiredString();
        } else if (*key == "projects") {
            if (reader.skipNull())
                reader.failMissing("projects");
            projects = reader.readArray<SharedProjectState>(
                TeamWireLimits::maxProjectsPerMember, "projects of one member",
                &TeamWireCoding::decodeSharedProjectState);
        } else if (*key == "serverUpdatedAt") {
            serverUpdatedAt = reader.requiredInt64();
        } else if (*key == "isConnected") {
            presence.isConnected = reader.optionalBool();
        } else {
            reader.skipValue();
        }
    }
    presence.type = TeamJsonReader::take(type, "type", reader);
    presence.protocolVersion = TeamJsonReader::take(protocolVersion, "protocolVersion", reader);
    presence.deviceId = TeamJsonReader::take(deviceId, "deviceId", reader);
    presence.memberName = TeamJsonReader::take(memberName, "memberName", reader);
    presence.projects = TeamJsonReader::take(projects, "projects", reader);
    presence.serverUpdatedAt = TeamJsonReader::take(serverUpdatedAt, "serverUpdatedAt", reader);
    return presence;
}

void StoredDevicePresence::write(TeamJsonWriter &writer) const
{
    writer.beginObject();
    writer.stringField("type"_L1, type);
    writer.intField("protocolVersion"_L1, protocolVersion);
    writer.stringField("deviceId"_L1, deviceId);
    writer.stringField("memberName"_L1, memberName);
    writer.arrayField("projects"_L1, projects, [](TeamJsonWriter &w, const auto &project) {
        TeamWireCoding::write(w, project);
    });
    writer.intField("serverUpdatedAt"_L1, serverUpdatedAt);
    writer.optionalBoolField("isConnected"_L1, isConnected);
    writer.endObject();
}

size_t qHash(const StoredDevicePresence &presence, size_t seed) noexcept
{
    seed = qHashMulti(seed, presence.type, presence.protocolVersion, presence.deviceId,
                      presence.memberName);
    seed = qHashRange(presence.projects.cbegin(), presence.projects.cend(), seed);
    return qHashMulti(seed, presence.serverUpdatedAt, presence.isConnected.has_value(),
                      presence.isConnected.value_or(false));
}

} // namespace tolvaran
