#include "support/team/TeamWireFixtures.h"

namespace tolvaran::fixtures::team {

namespace {

constexpr qint64 baseTime = 1'780'000'000'000; // a fixed moment in 2026, in milliseconds

QString hexId(int a, int b)
{
    return QStringLiteral("%1%2").arg(a, 8, 16, QLatin1Char('0')).arg(b, 32, 16,
                                                                        QLatin1Char('0'));
}

} // namespace

SharedProjectState sampleProject(int member, int index, int changedFiles)
{
    SharedProjectState state;
    state.repositoryId = QStringLiteral("github.com/acme/repo-%1").arg(index);
    state.repositoryName = QStringLiteral("repo-%1").arg(index);
    state.branch = QStringLiteral("feature/member-%1").arg(member);
    state.headSha = hexId(member, index);
    state.isDirty = changedFiles > 0;
    state.stagedCount = index % 3;
    state.modifiedCount = changedFiles;
    state.untrackedCount = index % 2;
    state.additions = 10 * index + member;
    state.deletions = index;
    for (int file = 0; file < changedFiles; ++file)
        state.changedFiles.append(
            QStringLiteral("src/module-%1/file-%2.cpp").arg(index).arg(file));
    state.lastActivityAt = baseTime + member * 1000 + index;
    state.isCodexProcessing = (member + index) % 4 == 0;
    if (index % 2 == 0)
        state.workSummary = QStringLiteral("Reworking module %1 of \"repo\".").arg(index);
    TeamProjectUsagePayload usage;
    usage.lifetimeTokens = 9'007'199'254'740'993LL + index; // above 2^53, kept exact
    usage.weeklyTokens = 125'000 + index;
    usage.weeklyAllowancePercent = 12.5;
    if (index % 3 != 0)
        usage.lifetimePlanCost = 41.25;
    state.usage = usage;
    return state;
}

StoredDevicePresence samplePresence(int member, int repositories)
{
    StoredDevicePresence presence;
    presence.type = QStringLiteral("state.update");
    presence.protocolVersion = 2;
    presence.deviceId = QStringLiteral("device-%1").arg(member);
    presence.memberName = QStringLiteral("Member %1").arg(member);
    for (int index = 0; index < repositories; ++index)
        presence.projects.append(sampleProject(member, index));
    presence.serverUpdatedAt = baseTime + member;
    if (member % 3 != 2)
        presence.isConnected = member % 3 == 0;
    return presence;
}

TeamSnapshot sampleSnapshot(int members, int repositories)
{
    TeamSnapshot snapshot;
    snapshot.type = QStringLiteral("team.snapshot");
    snapshot.protocolVersion = 2;
    snapshot.generatedAt = baseTime;
    snapshot.team = TeamMetadata{QStringLiteral("Core team")};
    for (int member = 0; member < members; ++member)
        snapshot.members.append(samplePresence(member, repositories));

    TeamCommitEvent commit;
    commit.id = QStringLiteral("8d5a3c1e-0b7f-4c1a-9e44-3f2b6a7c9d10");
    commit.deviceId = QStringLiteral("device-1");
    commit.memberName = QStringLiteral("Member 1");
    commit.repositoryId = QStringLiteral("github.com/acme/repo-0");
    commit.repositoryName = QStringLiteral("repo-0");
    commit.branch = QStringLiteral("main");
    commit.headSha = hexId(1, 0);
    commit.subject = QStringLiteral("Fix the parser");
    commit.committedAt = baseTime - 60'000;
    commit.serverReceivedAt = baseTime - 59'000;
    TeamCommitEvent detached = commit;
    detached.id = QStringLiteral("0f1e2d3c-4b5a-4978-8695-a4b3c2d1e0f9");
    detached.branch.reset();
    detached.subject = QStringLiteral("Try a détour");
    snapshot.recentCommits = QList<TeamCommitEvent>{commit, detached};

    TeamSecurityStatus security;
    security.legacyKeyEnabled = true;
    security.currentDeviceRole = TeamInstallationRole::admin;
    security.installations.append(TeamInstallation{QStringLiteral("device-0"),
                                                   QStringLiteral("Member 0"),
                                                   TeamInstallationRole::owner, baseTime,
                                                   baseTime + 5, QStringLiteral("26.8.70")});
    security.installations.append(TeamInstallation{QStringLiteral("device-1"),
                                                   QStringLiteral("Member 1"),
                                                   TeamInstallationRole::member, baseTime,
                                                   baseTime + 7, std::nullopt});
    security.unregisteredRecentMembers = {QStringLiteral("Guest")};
    snapshot.security = security;
    snapshot.overlappingRepositoryIds = QStringList{QStringLiteral("github.com/acme/repo-0")};
    return snapshot;
}

QByteArray minimalSnapshotJson(qint64 protocolVersion)
{
    return QByteArrayLiteral(R"({"type":"team.snapshot","protocolVersion":)")
           + QByteArray::number(protocolVersion)
           + QByteArrayLiteral(R"(,"generatedAt":1780000000000,"members":[]})");
}

QByteArray snapshotWithMembers(qint64 count)
{
    QByteArray bytes = QByteArrayLiteral(
        R"({"type":"team.snapshot","protocolVersion":2,"generatedAt":1,"members":[)");
    const QByteArray member = QByteArrayLiteral(
        R"({"type":"presence.update","protocolVersion":1,"deviceId":"d","memberName":"m",)"
        R"("projects":[],"serverUpdatedAt":1})");
    bytes.reserve(bytes.size() + count * (member.size() + 1) + 2);
    for (qint64 i = 0; i < count; ++i) {
        if (i > 0)
            bytes.append(',');
        bytes.append(member);
    }
    bytes.append("]}");
    return bytes;
}

QByteArray snapshotNested(int depth)
{
    QByteArray bytes = QByteArrayLiteral(
        R"({"type":"team.snapshot","protocolVersion":2,"generatedAt":1,"members":[],"x":)");
    bytes.append(QByteArray(depth, '['));
    bytes.append(QByteArray(depth, ']'));
    bytes.append('}');
    return bytes;
}

QList<NamedInput> snapshotCorpus()
{
    QList<NamedInput> corpus;
    const auto add = [&corpus](const char *name, const QByteArray &bytes) {
        corpus.append({QString::fromLatin1(name), bytes});
    };
    add("minimal", minimalSnapshotJson());
    add("protocol-1", minimalSnapshotJson(1));
    add("one-member", sampleSnapshot(1, 1).toJson());
    add("three-members", sampleSnapshot(3, 4).toJson());
    add("wide", sampleSnapshot(8, 20).toJson());

    const QByteArray full = sampleSnapshot(2, 2).toJson();
    const auto replaced = [&full](const char *from, const char *to) {
        QByteArray copy = full;
        return copy.replace(from, to);
    };
    add("members-null", QByteArray(minimalSnapshotJson()).replace("[]", "null"));
    add("generated-at-text", replaced("\"generatedAt\":1780000000000",
                                      "\"generatedAt\":\"1780000000000\""));
    add("generated-at-fraction", replaced("\"generatedAt\":1780000000000",
                                          "\"generatedAt\":1780000000000.5"));
    add("generated-at-beyond-64-bits", replaced("\"generatedAt\":1780000000000",
                                                "\"generatedAt\":9223372036854775808"));
    add("role-upper-case", replaced("\"role\":\"owner\"", "\"role\":\"Owner\""));
    add("commits-null", replaced("\"recentCommits\":[", "\"recentCommits\":null,\"x\":["));
    add("branch-null", replaced("\"branch\":\"main\"", "\"branch\":null"));
    add("head-missing", replaced("\"headSha\"", "\"headShaX\""));
    add("usage-null", replaced("\"usage\":{", "\"usage\":null,\"x\":{"));
    add("escapes", replaced("\"Core team\"", R"("C\u00f6re \ud83d\ude00 \"t\"\n\\\/")"));
    add("unknown-members",
        replaced("\"members\":[", R"("extra":{"a":[1,2.5e3,true,null,{"b":"c"}]},"members":[)"));
    add("trailing-comma", replaced("]}", "],}"));
    add("truncated", full.left(full.size() / 2));
    add("nested", snapshotNested(40));
    add("many-members", snapshotWithMembers(1'200));
    return corpus;
}

} // namespace tolvaran::fixtures::team
