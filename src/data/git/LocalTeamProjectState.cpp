#include "data/git/LocalTeamProjectState.h"

#include "platform/JsonCoding.h"

namespace tolvaran {

QJsonObject LocalTeamProjectState::toJson() const
{
    QJsonObject object{
        {QStringLiteral("shared"), shared.toJson()},
        {QStringLiteral("workFingerprint"), workFingerprint},
        {QStringLiteral("summaryEvidence"), summaryEvidence},
        {QStringLiteral("isLocalCommit"), isLocalCommit},
    };
    json::insertOptional(object, QStringLiteral("latestUserRequest"), latestUserRequest);
    json::insertOptional(object, QStringLiteral("headSubject"), headSubject);
    json::insertOptional(object, QStringLiteral("committedAt"), committedAt);
    return object;
}

LocalTeamProjectState LocalTeamProjectState::fromJson(const QJsonObject &object)
{
    LocalTeamProjectState state;
    state.shared = SharedProjectState::fromJson(json::requiredObject(object, QStringLiteral("shared")));
    state.workFingerprint = json::requiredString(object, QStringLiteral("workFingerprint"));
    state.summaryEvidence = json::requiredString(object, QStringLiteral("summaryEvidence"));
    state.latestUserRequest = json::optionalString(object, QStringLiteral("latestUserRequest"));
    state.headSubject = json::optionalString(object, QStringLiteral("headSubject"));
    state.committedAt = json::optionalInt64(object, QStringLiteral("committedAt"));
    state.isLocalCommit = json::requiredBool(object, QStringLiteral("isLocalCommit"));
    return state;
}

} // namespace tolvaran
