#include "team/wire/TeamSecurityStatus.h"

#include "team/wire/TeamJsonReader.h"
#include "team/wire/TeamJsonWriter.h"
#include "team/wire/TeamWireLimits.h"

namespace tolvaran {

using namespace Qt::StringLiterals;

TeamSecurityStatus TeamSecurityStatus::decode(TeamJsonReader &reader)
{
    std::optional<bool> legacyKeyEnabled;
    std::optional<QList<TeamInstallation>> installations;
    std::optional<QStringList> unregisteredRecentMembers;
    TeamSecurityStatus status;
    reader.beginObject();
    while (const auto key = reader.nextKey()) {
        if (*key == "legacyKeyEnabled") {
            legacyKeyEnabled = reader.requiredBool();
        } else if (*key == "currentDeviceRole") {
            status.currentDeviceRole.reset();
            if (const auto text = reader.optionalString()) {
                status.currentDeviceRole = teamInstallationRoleFromRawValue(*text);
                if (!status.currentDeviceRole)
                    reader.failMistyped("\"owner\", \"admin\" or \"member\"");
            }
        } else if (*key == "installations") {
            if (reader.skipNull())
                reader.failMissing("installations");
            installations = reader.readArray<TeamInstallation>(
                TeamWireLimits::maxMembers, "installations", &TeamInstallation::decode);
        } else if (*key == "unregisteredRecentMembers") {
            unregisteredRecentMembers = reader.requiredStringArray();
        } else {
            reader.skipValue();
        }
    }
    status.legacyKeyEnabled = TeamJsonReader::take(legacyKeyEnabled, "legacyKeyEnabled", reader);
    status.installations = TeamJsonReader::take(installations, "installations", reader);
    status.unregisteredRecentMembers =
        TeamJsonReader::take(unregisteredRecentMembers, "unregisteredRecentMembers", reader);
    return status;
}

void TeamSecurityStatus::write(TeamJsonWriter &writer) const
{
    writer.beginObject();
    writer.boolField("legacyKeyEnabled"_L1, legacyKeyEnabled);
    if (currentDeviceRole)
        writer.stringField("currentDeviceRole"_L1, rawValue(*currentDeviceRole));
    writer.arrayField("installations"_L1, installations,
                      [](TeamJsonWriter &w, const TeamInstallation &i) { i.write(w); });
    writer.stringArrayField("unregisteredRecentMembers"_L1, unregisteredRecentMembers);
    writer.endObject();
}

} // namespace tolvaran
