#include "team/PrivateCommitCreatedMessage.h"

#include "team/TeamJsonWriter.h"

namespace tolvaran {

using namespace Qt::StringLiterals;

PrivateCommitCreatedMessage PrivateCommitCreatedMessage::fromQueued(
    const CommitCreatedMessage &queued, const QString &wireRepositoryId)
{
    PrivateCommitCreatedMessage message{queued.deviceId, queued.memberName, queued.commit};
    message.commit.repositoryId = wireRepositoryId;
    return message;
}

QByteArray PrivateCommitCreatedMessage::toJson() const
{
    TeamJsonWriter writer;
    writer.beginMessage(type, protocolVersion, deviceId, memberName);
    writer.key("commit"_L1);
    commit.write(writer);
    writer.endObject();
    return writer.bytes();
}

} // namespace tolvaran
