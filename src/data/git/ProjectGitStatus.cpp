#include "data/git/ProjectGitStatus.h"

#include "platform/JsonCoding.h"

namespace tolvaran {

QJsonObject ProjectGitStatus::toJson() const
{
    QJsonObject object{
        {QStringLiteral("isRepository"), isRepository},
        {QStringLiteral("aheadCount"), aheadCount},
        {QStringLiteral("behindCount"), behindCount},
        {QStringLiteral("checkedAt"), checkedAt.referenceSeconds()},
    };
    json::insertOptional(object, QStringLiteral("branch"), branch);
    json::insertOptional(object, QStringLiteral("upstream"), upstream);
    return object;
}

ProjectGitStatus ProjectGitStatus::fromJson(const QJsonObject &object)
{
    ProjectGitStatus status;
    status.isRepository = json::requiredBool(object, QStringLiteral("isRepository"));
    status.branch = json::optionalString(object, QStringLiteral("branch"));
    status.upstream = json::optionalString(object, QStringLiteral("upstream"));
    status.aheadCount = json::requiredInt64(object, QStringLiteral("aheadCount"));
    status.behindCount = json::requiredInt64(object, QStringLiteral("behindCount"));
    status.checkedAt = Timestamp::fromReferenceSeconds(
        json::requiredDouble(object, QStringLiteral("checkedAt")));
    return status;
}

} // namespace tolvaran
