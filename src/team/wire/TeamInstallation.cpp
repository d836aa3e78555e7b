#include "team/wire/TeamInstallation.h"

#include "team/wire/TeamJsonReader.h"
#include "team/wire/TeamJsonWriter.h"

#include <QHashFunctions>

namespace tolvaran {

using namespace Qt::StringLiterals;

TeamInstallation TeamInstallation::decode(TeamJsonReader &reader)
{
    std::optional<QString> deviceId, memberName;
    std::optional<TeamInstallationRole> role;
    std::optional<qint64> registeredAt, lastSeenAt;
    TeamInstallation installation;
    reader.beginObject();
    while (const auto key = reader.nextKey()) {
        if (*key == "deviceId") {
            deviceId = reader.requiredString();
        } else if (*key == "memberName") {
            memberName = reader.requiredString();
        } else if (*key == "role") {
            role = teamInstallationRoleFromRawValue(reader.requiredString());
            if (!role)
                reader.failMistyped("\"owner\", \"admin\" or \"member\"");
        } else if (*key == "registeredAt") {
            registeredAt = reader.requiredInt64();
        } else if (*key == "lastSeenAt") {
            lastSeenAt = reader.requiredInt64();
        } else if (*key == "appVersion") {
            installation.appVersion = reader.optionalString();
        } else {
            reader.skipValue();
        }
    }
    installation.deviceId = TeamJsonReader::take(deviceId, "deviceId", reader);
    installation.memberName = TeamJsonReader::take(memberName, "memberName", reader);
    installation.role = TeamJsonReader::take(role, "role", reader);
    installation.registeredAt = TeamJsonReader::take(registeredAt, "registeredAt", reader);
    installation.lastSeenAt = TeamJsonReader::take(lastSeenAt, "lastSeenAt", reader);
    return installation;
}

void TeamInstallation::write(TeamJsonWriter &writer) const
{
    writer.beginObject();
    writer.stringField("deviceId"_L1, deviceId);
    writer.stringField("memberName"_L1, memberName);
    writer.stringField("role"_L1, rawValue(role));
    writer.intField("registeredAt"_L1, registeredAt);
    writer.intField("lastSeenAt"_L1, lastSeenAt);
    writer.optionalStringField("appVersion"_L1, appVersion);
    writer.endObject();
}

size_t qHash(const TeamInstallation &installation, size_t seed) noexcept
{
    return qHashMulti(seed, installation.deviceId, installation.memberName,
                      rawValue(installation.role), installation.registeredAt,
                      installation.lastSeenAt, installation.appVersion.has_value(),
                      installation.appVersion.value_or(QString()));
}

} // namespace tolvaran
