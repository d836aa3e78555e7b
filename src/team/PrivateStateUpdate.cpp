#include "team/PrivateStateUpdate.h"

#include "team/TeamJsonWriter.h"
#include "team/TeamWireCoding.h"

namespace tolvaran {

using namespace Qt::StringLiterals;

QByteArray PrivateStateUpdate::toJson() const
{
    TeamJsonWriter writer;
    writer.beginObject();
    writer.stringField("type"_L1, QString::fromLatin1(type));
    writer.intField("protocolVersion"_L1, protocolVersion);
    writer.stringField("deviceId"_L1, deviceId);
    writer.stringField("memberName"_L1, memberName);
    writer.stringArrayField("repositoryIds"_L1, repositoryIds);
    writer.arrayField("projects"_L1, projects, [](TeamJsonWriter &w, const auto &project) {
        TeamWireCoding::write(w, project);
    });
    writer.endObject();
    return writer.bytes();
}

} // namespace tolvaran
