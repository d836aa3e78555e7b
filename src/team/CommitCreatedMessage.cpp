#include "team/CommitCreatedMessage.h"

#include "team/TeamJsonWriter.h"

namespace tolvaran {

using namespace Qt::StringLiterals;

QByteArray CommitCreatedMessage::toJson() const
{
    TeamJsonWriter writer;
    writer.beginMessage(type, protocolVersion, deviceId, memberName);
    writer.key("commit"_L1);
    commit.write(writer);
    writer.endObject();
    return writer.bytes();
}

} // namespace tolvaran
