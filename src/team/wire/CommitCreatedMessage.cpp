#include "team/wire/CommitCreatedMessage.h"

#include "team/wire/TeamJsonWriter.h"

namespace tolvaran {

using namespace Qt::StringLiterals;

QByteArray CommitCreatedMessage::toJson() const
{
    return encode(protocolVersion, deviceId, memberName, commit);
}

QByteArray CommitCreatedMessage::encode(qint64 version, const QString &device,
                                        const QString &member, const TeamCommitPayload &payload)
{
    TeamJsonWriter writer;
    writer.beginMessage(type, version, device, member);
    writer.key("commit"_L1);
    payload.write(writer);
    writer.endObject();
    return writer.bytes();
}

} // namespace tolvaran
