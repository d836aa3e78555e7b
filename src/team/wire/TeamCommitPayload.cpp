#include "team/wire/TeamCommitPayload.h"

#include "team/wire/TeamJsonReader.h"
#include "team/wire/TeamJsonWriter.h"

#include <QHashFunctions>

namespace tolvaran {

using namespace Qt::StringLiterals;

TeamCommitPayload TeamCommitPayload::decode(TeamJsonReader &reader)
{
    std::optional<QString> id, repositoryId, repositoryName, headSha, subject;
    std::optional<qint64> committedAt;
    TeamCommitPayload commit;
    reader.beginObject();
    while (const auto key = reader.nextKey()) {
        if (*key == "id")
            id = reader.requiredString();
        else if (*key == "repositoryId")
            repositoryId = reader.requiredString();
        else if (*key == "repositoryName")
            repositoryName = reader.requiredString();
        else if (*key == "branch")
            commit.branch = reader.optionalString();
        else if (*key == "headSha")
            headSha = reader.requiredString();
        else if (*key == "subject")
            subject = reader.requiredString();
        else if (*key == "committedAt")
            committedAt = reader.requiredInt64();
        else
            reader.skipValue();
    }
    commit.id = TeamJsonReader::take(id, "id", reader);
    commit.repositoryId = TeamJsonReader::take(repositoryId, "repositoryId", reader);
    commit.repositoryName = TeamJsonReader::take(repositoryName, "repositoryName", reader);
    commit.headSha = TeamJsonReader::take(headSha, "headSha", reader);
    commit.subject = TeamJsonReader::take(subject, "subject", reader);
    commit.committedAt = TeamJsonReader::take(committedAt, "committedAt", reader);
    return commit;
}

void TeamCommitPayload::write(TeamJsonWriter &writer) const
{
    writer.beginObject();
    writer.stringField("id"_L1, id);
    writer.stringField("repositoryId"_L1, repositoryId);
    writer.stringField("repositoryName"_L1, repositoryName);
    writer.optionalStringField("branch"_L1, branch);
    writer.stringField("headSha"_L1, headSha);
    writer.stringField("subject"_L1, subject);
    writer.intField("committedAt"_L1, committedAt);
    writer.endObject();
}

size_t qHash(const TeamCommitPayload &commit, size_t seed) noexcept
{
    return qHashMulti(seed, commit.id, commit.repositoryId, commit.repositoryName,
                      commit.branch.has_value(), commit.branch.value_or(QString()),
                      commit.headSha, commit.subject, commit.committedAt);
}

} // namespace tolvaran
