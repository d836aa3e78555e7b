#include "team/wire/PrivateCommitCreatedMessage.h"

namespace tolvaran {

PrivateCommitCreatedMessage PrivateCommitCreatedMessage::fromQueued(
    const CommitCreatedMessage &queued, const QString &wireRepositoryId)
{
    PrivateCommitCreatedMessage message{queued.deviceId, queued.memberName, queued.commit};
    message.commit.repositoryId = wireRepositoryId;
    return message;
}

QByteArray PrivateCommitCreatedMessage::toJson() const
{
    return CommitCreatedMessage::encode(protocolVersion, deviceId, memberName, commit);
}

} // namespace tolvaran
