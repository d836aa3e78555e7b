#include "team/server/TeamInstallationRegistration.h"

#include "team/wire/TeamJsonReader.h"
#include "team/wire/TeamJsonWriter.h"

namespace tolvaran {

using namespace Qt::StringLiterals;

TeamInstallationRegistration TeamInstallationRegistration::decode(TeamJsonReader &reader)
{
    std::optional<QString> teamId;
    std::optional<TeamInstallation> installation;
    reader.beginObject();
    while (const auto key = reader.nextKey()) {
        if (*key == "teamId") {
            teamId = reader.requiredString();
        } else if (*key == "installation") {
            if (reader.skipNull())
                reader.failMissing("installation");
            installation = TeamInstallation::decode(reader);
        } else {
            reader.skipValue();
        }
    }
    return TeamInstallationRegistration{
        TeamJsonReader::take(teamId, "teamId", reader),
        TeamJsonReader::take(installation, "installation", reader)};
}

void TeamInstallationRegistration::write(TeamJsonWriter &writer) const
{
    writer.beginObject();
    writer.stringField("teamId"_L1, teamId);
    writer.key("installation"_L1);
    installation.write(writer);
    writer.endObject();
}

TeamInstallationRegistration TeamInstallationRegistration::fromJson(QByteArrayView bytes)
{
    return TeamJsonReader::decodeDocument<TeamInstallationRegistration>(bytes);
}

QByteArray TeamInstallationRegistration::toJson() const
{
    TeamJsonWriter writer;
    write(writer);
    return writer.bytes();
}

} // namespace tolvaran
