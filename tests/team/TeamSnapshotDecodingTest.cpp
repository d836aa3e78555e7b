#include "support/QtPrinters.h"
#include "support/team/TeamWireFixtures.h"
#include "team/server/TeamInstallationRegistration.h"
#include "team/wire/TeamKeyResponse.h"
#include "team/wire/TeamSnapshot.h"
#include "team/wire/TeamWireLimits.h"

#include <gtest/gtest.h>

using namespace tolvaran;
using Kind = TeamWireError::Kind;

namespace {

const QByteArray head = R"({"type":"team.snapshot","protocolVersion":2,"generatedAt":1,)";

// A snapshot of one member with one project, with `presence` and `project` spliced in.
QByteArray withMember(const QByteArray &presence, const QByteArray &project = {})
{
    return head + R"("members":[{"type":"state.update","protocolVersion":2,"deviceId":"d1",)"
           R"("memberName":"Ana","serverUpdatedAt":5,)" + presence + R"("projects":[{)"
           R"("repositoryId":"r","repositoryName":"app","isDirty":true,"stagedCount":1,)"
           R"("modifiedCount":2,"untrackedCount":0,"additions":3,"deletions":4,)"
           R"("changedFiles":["a.cpp"],"isCodexProcessing":false)" + project + "}]}]}";
}

const QByteArray commit = R"({"id":"c1","deviceId":"d1","memberName":"Ana","repositoryId":"r",)"
                          R"("repositoryName":"app","headSha":"abc","subject":"Fix",)"
                          R"("committedAt":1,"serverReceivedAt":2})";

QByteArray withSecurity(const QByteArray &role, const QByteArray &currentRole = {})
{
    return head + R"("members":[],"security":{"legacyKeyEnabled":true,)" + currentRole
           + R"("installations":[{"deviceId":"d1","memberName":"Ana","role":)" + role
           + R"(,"registeredAt":1,"lastSeenAt":2}],"unregisteredRecentMembers":[]}})";
}

std::optional<Kind> failure(const QByteArray &bytes)
{
    try {
        TeamSnapshot::fromJson(bytes);
        return std::nullopt;
    } catch (const TeamWireError &error) {
        return error.kind();
    }
}

} // namespace

TEST(TeamSnapshotDecoding, minimalSnapshotHasNoOptionalParts)
{
    const TeamSnapshot snapshot =
        TeamSnapshot::fromJson(fixtures::team::minimalSnapshotJson(1));
    EXPECT_EQ(snapshot.type, "team.snapshot");
    EXPECT_EQ(snapshot.protocolVersion, 1);
    EXPECT_EQ(snapshot.generatedAt, 1780000000000);
    EXPECT_TRUE(snapshot.members.isEmpty());
    EXPECT_FALSE(snapshot.team);
    EXPECT_FALSE(snapshot.recentCommits);
    EXPECT_FALSE(snapshot.security);
    EXPECT_FALSE(snapshot.overlappingRepositoryIds);
}

TEST(TeamSnapshotDecoding, encodedSnapshotReadsBackEqual)
{
    const TeamSnapshot sample = fixtures::team::sampleSnapshot(3, 4);
    const TeamSnapshot decoded = TeamSnapshot::fromJson(sample.toJson());
    EXPECT_EQ(decoded.members, sample.members);
    EXPECT_EQ(decoded.recentCommits, sample.recentCommits);
    EXPECT_EQ(decoded.team, sample.team);
    ASSERT_TRUE(decoded.security);
    EXPECT_EQ(decoded.security->installations, sample.security->installations);
    EXPECT_EQ(decoded.security->currentDeviceRole, TeamInstallationRole::admin);
    EXPECT_EQ(decoded.overlappingRepositoryIds, sample.overlappingRepositoryIds);
    EXPECT_EQ(decoded.toJson(), sample.toJson());
}

TEST(TeamSnapshotDecoding, eachRuleOfTheRecords)
{
    struct Row
    {
        const char *name;
        QByteArray bytes;
        std::optional<Kind> failure;
    };
    const Row rows[] = {
        {"members missing", head + R"("x":1})", Kind::invalidRecord},
        {"members null", head + R"("members":null})", Kind::invalidRecord},
        {"generatedAt text", R"({"type":"team.snapshot","protocolVersion":2,"generatedAt":"1",)"
                             R"("members":[]})", Kind::invalidRecord},
        {"generatedAt fraction", R"({"type":"team.snapshot","protocolVersion":2,)"
                                 R"("generatedAt":1.5,"members":[]})", Kind::invalidRecord},
        {"generatedAt written with an exponent", R"({"type":"team.snapshot",)"
                                 R"("protocolVersion":2,"generatedAt":1.5e3,"members":[]})",
         std::nullopt},
        {"type null", R"({"type":null,"protocolVersion":2,"generatedAt":1,"members":[]})",
         Kind::invalidRecord},
        {"recentCommits null", head + R"("members":[],"recentCommits":null})", std::nullopt},
        {"commit without branch", head + R"("members":[],"recentCommits":[)" + commit + "]}",
         std::nullopt},
        {"commit without headSha",
         head + R"("members":[],"recentCommits":[)"
             + QByteArray(commit).replace(R"("headSha":"abc",)", "") + "]}",
         Kind::invalidRecord},
        {"member without isConnected", withMember({}), std::nullopt},
        {"member isConnected text", withMember(R"("isConnected":"yes",)"),
         Kind::invalidRecord},
        {"member without deviceId",
         QByteArray(withMember({})).replace(R"("deviceId":"d1",)", ""), Kind::invalidRecord},
        {"project usage null", withMember({}, R"(,"usage":null)"), std::nullopt},
        {"project usage without percent",
         withMember({}, R"(,"usage":{"lifetimeTokens":1,"weeklyTokens":2})"),
         Kind::invalidRecord},
        {"project without changedFiles",
         QByteArray(withMember({})).replace(R"("changedFiles":["a.cpp"],)", ""),
         Kind::invalidRecord},
        {"project without isCodexProcessing",
         QByteArray(withMember({})).replace(R"(,"isCodexProcessing":false)", ""),
         Kind::invalidRecord},
        {"changed file not a string",
         QByteArray(withMember({})).replace(R"(["a.cpp"])", "[1]"), Kind::invalidRecord},
        {"count beyond 64 bits", withMember({}, R"(,"lastActivityAt":9223372036854775808)"),
         Kind::invalidRecord},
        {"count below 64 bits", withMember({}, R"(,"lastActivityAt":-9223372036854775809)"),
         Kind::invalidRecord},
        {"exponent beyond 2^53", withMember({}, R"(,"lastActivityAt":1e17)"),
         Kind::invalidRecord},
        {"double beyond range",
         withMember({}, R"(,"usage":{"lifetimeTokens":1,"weeklyTokens":2,)"
                        R"("weeklyAllowancePercent":1e400})"),
         Kind::invalidRecord},
        {"role owner", withSecurity(R"("owner")"), std::nullopt},
        {"role in other case", withSecurity(R"("Owner")"), Kind::invalidRecord},
        {"role unknown", withSecurity(R"("guest")"), Kind::invalidRecord},
        {"current role unknown", withSecurity(R"("owner")", R"("currentDeviceRole":"boss",)"),
         Kind::invalidRecord},
        {"current role null", withSecurity(R"("owner")", R"("currentDeviceRole":null,)"),
         std::nullopt},
        {"extra keys everywhere",
         head + R"("z":{"a":[1,-2.5e-3,true,null,{"b":"\u00e9"}]},"members":[],)"
                R"("recentCommits":[)" + QByteArray(commit).replace("{", R"({"extra":[[]],)")
             + R"(],"team":{"name":"T","slug":99999999999999999999999}})",
         std::nullopt},
        {"escaped key", head + R"("memb\u0065rs":[]})", std::nullopt},
        {"not an object", "[]", Kind::invalidRecord},
        {"empty", "", Kind::malformed},
        {"trailing comma", head + R"("members":[],})", Kind::malformed},
        {"trailing bytes", fixtures::team::minimalSnapshotJson() + "x", Kind::malformed},
        {"leading zero", R"({"type":"team.snapshot","protocolVersion":02,"generatedAt":1,)"
                         R"("members":[]})", Kind::malformed},
        {"single quotes", "{'type':1}", Kind::malformed},
        {"unterminated string", head + R"("members":[],"x":"abc})", Kind::malformed},
        {"raw control character", head + "\"members\":[],\"x\":\"a\tb\"}", Kind::malformed},
        {"lone surrogate escape", head + R"("members":[],"x":"\ud800"})", Kind::malformed},
        {"invalid UTF-8", head + "\"members\":[],\"x\":\"\xC3\x28\"}", Kind::malformed},
        {"overlong UTF-8", head + "\"members\":[],\"x\":\"\xC0\xAF\"}", Kind::malformed},
        {"truncated", fixtures::team::minimalSnapshotJson().chopped(3), Kind::malformed},
    };
    for (const Row &row : rows)
        EXPECT_EQ(failure(row.bytes), row.failure) << row.name;
}

TEST(TeamSnapshotDecoding, absentConnectionDiffersFromTrueAndFalse)
{
    const auto member = [](const QByteArray &presence) {
        return TeamSnapshot::fromJson(withMember(presence)).members.first();
    };
    const StoredDevicePresence unstated = member({});
    EXPECT_FALSE(unstated.isConnected);
    EXPECT_NE(unstated, member(R"("isConnected":true,)"));
    EXPECT_NE(unstated, member(R"("isConnected":false,)"));
    EXPECT_EQ(unstated, member(R"("isConnected":null,)"));
}

TEST(TeamSnapshotDecoding, integersAbove2To53StayExact)
{
    const QByteArray bytes = withMember(
        {}, R"(,"lastActivityAt":9007199254740993,"usage":{"lifetimeTokens":9223372036854775807,)"
            R"("weeklyTokens":-9223372036854775808,"weeklyAllowancePercent":12.5})");
    const SharedProjectState project = TeamSnapshot::fromJson(bytes).members[0].projects[0];
    EXPECT_EQ(project.lastActivityAt, 9007199254740993LL);
    EXPECT_EQ(project.usage->lifetimeTokens, std::numeric_limits<qint64>::max());
    EXPECT_EQ(project.usage->weeklyTokens, std::numeric_limits<qint64>::min());
    EXPECT_EQ(project.usage->weeklyAllowancePercent, 12.5);
    EXPECT_FALSE(project.usage->lifetimePlanCost);
}

TEST(TeamSnapshotDecoding, escapesBecomeTheirText)
{
    const QByteArray bytes =
        head + R"("members":[],"team":{"name":"C\u00f6re \ud83d\ude00 \"t\"\n\\\/ é"}})";
    const TeamSnapshot snapshot = TeamSnapshot::fromJson(bytes);
    EXPECT_EQ(snapshot.team->name, QStringLiteral("Cöre 😀 \"t\"\n\\/ é"));
}

TEST(TeamSnapshotDecoding, hostileSizesAreRefusedAsLimits)
{
    const auto limitFailure = [](const QByteArray &bytes) {
        return failure(bytes) == Kind::limitExceeded;
    };
    EXPECT_FALSE(limitFailure(fixtures::team::snapshotWithMembers(TeamWireLimits::maxMembers)));
    EXPECT_TRUE(limitFailure(fixtures::team::snapshotWithMembers(1'000'000)));
    EXPECT_TRUE(limitFailure(fixtures::team::snapshotNested(100'000)));
    EXPECT_FALSE(failure(fixtures::team::snapshotNested(TeamWireLimits::maxNestingDepth - 2)));

    QByteArray huge = fixtures::team::minimalSnapshotJson();
    huge.append(QByteArray(100 * 1024 * 1024, ' '));
    EXPECT_TRUE(limitFailure(huge));

    // Many small values within the byte limit: an array of 3 million zeros.
    QByteArray wide = head + R"("members":[],"x":[0)";
    for (int i = 0; i < 3'000'000; ++i)
        wide.append(",0");
    wide.append("]}");
    EXPECT_TRUE(limitFailure(wide));
}

TEST(TeamSnapshotDecoding, refusalForSizeIsLogged)
{
    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &message) {
            messages.append(message);
        });
    EXPECT_THROW(TeamSnapshot::fromJson(fixtures::team::snapshotWithMembers(5'000)),
                 TeamWireError);
    qInstallMessageHandler(previous);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("Team message refused: ")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("more than 1000 members")) << messages[0].toStdString();
}

TEST(TeamAdministrationBodies, decodeStrictly)
{
    const TeamInstallationRegistration registration = TeamInstallationRegistration::fromJson(
        R"({"teamId":"t1","installation":{"deviceId":"d1","memberName":"Ana","role":"member",)"
        R"("registeredAt":1,"lastSeenAt":2,"appVersion":null}})");
    EXPECT_EQ(registration.teamId, "t1");
    EXPECT_EQ(registration.installation.role, TeamInstallationRole::member);
    EXPECT_FALSE(registration.installation.appVersion);
    EXPECT_THROW(TeamInstallationRegistration::fromJson(R"({"teamId":"t1"})"), TeamWireError);

    EXPECT_EQ(TeamKeyResponse::fromJson(R"({"teamKey":"k","x":[]})").teamKey, "k");
    EXPECT_THROW(TeamKeyResponse::fromJson(R"({"teamKey":null})"), TeamWireError);
    EXPECT_THROW(TeamKeyResponse::fromJson(""), TeamWireError);
    EXPECT_EQ(TeamMetadata::fromJson(R"({"name":"Core"})"), TeamMetadata{"Core"});
    EXPECT_THROW(TeamMetadata::fromJson(R"({"name":7})"), TeamWireError);
}

TEST(TeamInstallationRole, buildsOnlyFromTheExactTexts)
{
    EXPECT_EQ(teamInstallationRoleFromRawValue("owner"), TeamInstallationRole::owner);
    EXPECT_EQ(teamInstallationRoleFromRawValue("admin"), TeamInstallationRole::admin);
    EXPECT_EQ(teamInstallationRoleFromRawValue("member"), TeamInstallationRole::member);
    EXPECT_FALSE(teamInstallationRoleFromRawValue("Member"));
    EXPECT_FALSE(teamInstallationRoleFromRawValue(" owner"));
    EXPECT_EQ(rawValue(TeamInstallationRole::admin), "admin");
}

TEST(TeamSnapshotEncoding, writesMembersInFieldOrderAndOmitsAbsentOptionals)
{
    TeamSnapshot snapshot;
    snapshot.type = "team.snapshot";
    snapshot.protocolVersion = 2;
    snapshot.generatedAt = 9007199254740993;
    snapshot.team = TeamMetadata{"Core"};
    StoredDevicePresence presence;
    presence.type = "presence.update";
    presence.protocolVersion = 1;
    presence.deviceId = "d1";
    presence.memberName = "Ana";
    presence.serverUpdatedAt = 7;
    presence.isConnected = false;
    snapshot.members = {presence};
    TeamCommitEvent event{"c1", "d1", "Ana", "r", "app", std::nullopt, "abc", "Fix", 1, 2};
    snapshot.recentCommits = QList<TeamCommitEvent>{event};
    snapshot.security = TeamSecurityStatus{
        false, TeamInstallationRole::member,
        {TeamInstallation{"d1", "Ana", TeamInstallationRole::member, 3, 4, std::nullopt}},
        {}};
    snapshot.overlappingRepositoryIds = QStringList{"r"};

    EXPECT_EQ(
        snapshot.toJson().toStdString(),
        R"({"type":"team.snapshot","protocolVersion":2,"generatedAt":9007199254740993,)"
        R"("team":{"name":"Core"},"members":[{"type":"presence.update","protocolVersion":1,)"
        R"("deviceId":"d1","memberName":"Ana","projects":[],"serverUpdatedAt":7,)"
        R"("isConnected":false}],"recentCommits":[{"id":"c1","deviceId":"d1",)"
        R"("memberName":"Ana","repositoryId":"r","repositoryName":"app","headSha":"abc",)"
        R"("subject":"Fix","committedAt":1,"serverReceivedAt":2}],"security":{)"
        R"("legacyKeyEnabled":false,"currentDeviceRole":"member","installations":[{)"
        R"("deviceId":"d1","memberName":"Ana","role":"member","registeredAt":3,)"
        R"("lastSeenAt":4}],"unregisteredRecentMembers":[]},"overlappingRepositoryIds":["r"]})");

    TeamSnapshot bare = snapshot;
    bare.team.reset();
    bare.recentCommits.reset();
    bare.security.reset();
    bare.overlappingRepositoryIds.reset();
    bare.members.clear();
    EXPECT_EQ(bare.toJson().toStdString(),
              R"({"type":"team.snapshot","protocolVersion":2,"generatedAt":9007199254740993,)"
              R"("members":[]})");
}
