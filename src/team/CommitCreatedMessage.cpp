#include "team/CommitCreatedMessage.h"

#include "team/TeamJsonWriter.h"

namespace tolvaran {

using namespace Qt::StringLiterals;

QByteArray CommitCreatedMessage::toJson() const
{
    TeamJsonWriter writer;
    writer.beginObject();
    writer.stringField("type"_L1, QString::fromLatin1(type));
    writer.intField("protocolVersion"_L1, protocolVersion);
    writer.stringField("deviceId"_L1, deviceId);
    writer.stringField("memberName"_L1, memberName);
    writer.key("commit"_L1);
    commit.write(writer);
    writer.endObject();
    return writer.bytes();
}

} // namespace tolvaran
