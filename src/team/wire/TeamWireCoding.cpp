#include "team/wire/TeamWireCoding.h"

#include "team/wire/TeamJsonReader.h"
#include "team/wire/TeamJsonWriter.h"

namespace tolvaran::TeamWireCoding {

using namespace Qt::StringLiterals;

TeamProjectUsagePayload decodeUsagePayload(TeamJsonReader &reader)
{
    std::optional<qint64> lifetimeTokens, weeklyTokens;
    std::optional<double> weeklyAllowancePercent;
    TeamProjectUsagePayload usage;
    reader.beginObject();
    while (const auto key = reader.nextKey()) {
        if (*key == "lifetimeTokens")
            lifetimeTokens = reader.requiredInt64();
        else if (*key == "weeklyTokens")
            weeklyTokens = reader.requiredInt64();
        else if (*key == "weeklyAllowancePercent")
            weeklyAllowancePercent = reader.requiredDouble();
        else if (*key == "lifetimePlanCost")
            usage.lifetimePlanCost = reader.optionalDouble();
        else
            reader.skipValue();
    }
    usage.lifetimeTokens = TeamJsonReader::take(lifetimeTokens, "lifetimeTokens", reader);
    usage.weeklyTokens = TeamJsonReader::take(weeklyTokens, "weeklyTokens", reader);
    usage.weeklyAllowancePercent =
        TeamJsonReader::take(weeklyAllowancePercent, "weeklyAllowancePercent", reader);
    return usage;
}

SharedProjectState decodeSharedProjectState(TeamJsonReader &reader)
{
    std::optional<QString> repositoryId, repositoryName;
    std::optional<bool> isDirty, isCodexProcessing;
    std::optional<qint64> stagedCount, modifiedCount, untrackedCount, additions, deletions;
    std::optional<QStringList> changedFiles;
    SharedProjectState state;
    reader.beginObject();
    while (const auto key = reader.nextKey()) {
        if (*key == "repositoryId") {
            repositoryId = reader.requiredString();
        } else if (*key == "repositoryName") {
            repositoryName = reader.requiredString();
        } else if (*key == "branch") {
            state.branch = reader.optionalString();
        } else if (*key == "headSha") {
            state.headSha = reader.optionalString();
        } else if (*key == "isDirty") {
            isDirty = reader.requiredBool();
        } else if (*key == "stagedCount") {
            stagedCount = reader.requiredInt64();
        } else if (*key == "modifiedCount") {
            modifiedCount = reader.requiredInt64();
        } else if (*key == "untrackedCount") {
            untrackedCount = reader.requiredInt64();
        } else if (*key == "additions") {
            additions = reader.requiredInt64();
        } else if (*key == "deletions") {
            deletions = reader.requiredInt64();
        } else if (*key == "changedFiles") {
            changedFiles = reader.requiredStringArray();
        } else if (*key == "lastActivityAt") {
            state.lastActivityAt = reader.optionalInt64();
        } else if (*key == "isCodexProcessing") {
            isCodexProcessing = reader.requiredBool();
        } else if (*key == "workSummary") {
            state.workSummary = reader.optionalString();
        } else if (*key == "usage") {
            if (reader.skipNull())
                state.usage.reset();
            else
                state.usage = decodeUsagePayload(reader);
        } else {
            reader.skipValue();
        }
    }
    state.repositoryId = TeamJsonReader::take(repositoryId, "repositoryId", reader);
    state.repositoryName = TeamJsonReader::take(repositoryName, "repositoryName", reader);
    state.isDirty = TeamJsonReader::take(isDirty, "isDirty", reader);
    state.stagedCount = TeamJsonReader::take(stagedCount, "stagedCount", reader);
    state.modifiedCount = TeamJsonReader::take(modifiedCount, "modifiedCount", reader);
    state.untrackedCount = TeamJsonReader::take(untrackedCount, "untrackedCount", reader);
    state.additions = TeamJsonReader::take(additions, "additions", reader);
    state.deletions = TeamJsonReader::take(deletions, "deletions", reader);
    state.changedFiles = TeamJsonReader::take(changedFiles, "changedFiles", reader);
    state.isCodexProcessing =
        TeamJsonReader::take(isCodexProcessing, "isCodexProcessing", reader);
    return state;
}

TeamCommitEvent decodeCommitEvent(TeamJsonReader &reader)
{
    std::optional<QString> id, deviceId, memberName, repositoryId, repositoryName, headSha,
        subject;
    std::optional<qint64> committedAt, serverReceivedAt;
    TeamCommitEvent event;
    reader.beginObject();
    while (const auto key = reader.nextKey()) {
        if (*key == "id")
            id = reader.requiredString();
        else if (*key == "deviceId")
            deviceId = reader.requiredString();
        else if (*key == "memberName")
            memberName = reader.requiredString();
        else if (*key == "repositoryId")
            repositoryId = reader.requiredString();
        else if (*key == "repositoryName")
            repositoryName = reader.requiredString();
        else if (*key == "branch")
            event.branch = reader.optionalString();
        else if (*key == "headSha")
            headSha = reader.requiredString();
        else if (*key == "subject")
            subject = reader.requiredString();
        else if (*key == "committedAt")
            committedAt = reader.requiredInt64();
        else if (*key == "serverReceivedAt")
            serverReceivedAt = reader.requiredInt64();
        else
            reader.skipValue();
    }
    event.id = TeamJsonReader::take(id, "id", reader);
    event.deviceId = TeamJsonReader::take(deviceId, "deviceId", reader);
    event.memberName = TeamJsonReader::take(memberName, "memberName", reader);
    event.repositoryId = TeamJsonReader::take(repositoryId, "repositoryId", reader);
    event.repositoryName = TeamJsonReader::take(repositoryName, "repositoryName", reader);
    event.headSha = TeamJsonReader::take(headSha, "headSha", reader);
    event.subject = TeamJsonReader::take(subject, "subject", reader);
    event.committedAt = TeamJsonReader::take(committedAt, "committedAt", reader);
    event.serverReceivedAt = TeamJsonReader::take(serverReceivedAt, "serverReceivedAt", reader);
    return event;
}

void write(TeamJsonWriter &writer, const TeamProjectUsagePayload &usage)
{
    writer.beginObject();
    writer.intField("lifetimeTokens"_L1, usage.lifetimeTokens);
    writer.intField("weeklyTokens"_L1, usage.weeklyTokens);
    writer.doubleField("weeklyAllowancePercent"_L1, usage.weeklyAllowancePercent);
    writer.optionalDoubleField("lifetimePlanCost"_L1, usage.lifetimePlanCost);
    writer.endObject();
}

void write(TeamJsonWriter &writer, const SharedProjectState &state)
{
    writer.beginObject();
    writer.stringField("repositoryId"_L1, state.repositoryId);
    writer.stringField("repositoryName"_L1, state.repositoryName);
    writer.optionalStringField("branch"_L1, state.branch);
    writer.optionalStringField("headSha"_L1, state.headSha);
    writer.boolField("isDirty"_L1, state.isDirty);
    writer.intField("stagedCount"_L1, state.stagedCount);
    writer.intField("modifiedCount"_L1, state.modifiedCount);
    writer.intField("untrackedCount"_L1, state.untrackedCount);
    writer.intField("additions"_L1, state.additions);
    writer.intField("deletions"_L1, state.deletions);
    writer.stringArrayField("changedFiles"_L1, state.changedFiles);
    writer.optionalIntField("lastActivityAt"_L1, state.lastActivityAt);
    writer.boolField("isCodexProcessing"_L1, state.isCodexProcessing);
    writer.optionalStringField("workSummary"_L1, state.workSummary);
    if (state.usage) {
        writer.key("usage"_L1);
        write(writer, *state.usage);
    }
    writer.endObject();
}

void write(TeamJsonWriter &writer, const TeamCommitEvent &event)
{
    writer.beginObject();
    writer.stringField("id"_L1, event.id);
    writer.stringField("deviceId"_L1, event.deviceId);
    writer.stringField("memberName"_L1, event.memberName);
    writer.stringField("repositoryId"_L1, event.repositoryId);
    writer.stringField("repositoryName"_L1, event.repositoryName);
    writer.optionalStringField("branch"_L1, event.branch);
    writer.stringField("headSha"_L1, event.headSha);
    writer.stringField("subject"_L1, event.subject);
    writer.intField("committedAt"_L1, event.committedAt);
    writer.intField("serverReceivedAt"_L1, event.serverReceivedAt);
    writer.endObject();
}

} // namespace tolvaran::TeamWireCoding
