#include "team/wire/PresenceUpdate.h"

#include "team/wire/TeamJsonWriter.h"
#include "team/wire/TeamWireCoding.h"

namespace tolvaran {

using namespace Qt::StringLiterals;

QByteArray PresenceUpdate::toJson() const
{
    TeamJsonWriter writer;
    writer.beginMessage(type, protocolVersion, deviceId, memberName);
    writer.arrayField("projects"_L1, projects, [](TeamJsonWriter &w, const auto &project) {
        TeamWireCoding::write(w, project);
    });
    writer.endObject();
    return writer.bytes();
}

} // namespace tolvaran
