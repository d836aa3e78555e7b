#include "team/wire/PrivateStateUpdate.h"

#include "team/wire/TeamJsonWriter.h"
#include "team/wire/TeamWireCoding.h"

namespace tolvaran {

using namespace Qt::StringLiterals;

QByteArray PrivateStateUpdate::toJson() const
{
    TeamJsonWriter writer;
    writer.beginMessage(type, protocolVersion, deviceId, memberName);
    writer.stringArrayField("repositoryIds"_L1, repositoryIds);
    writer.arrayField("projects"_L1, projects, [](TeamJsonWriter &w, const auto &project) {
        TeamWireCoding::write(w, project);
    });
    writer.endObject();
    return writer.bytes();
}

} // namespace tolvaran
