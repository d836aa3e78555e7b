#include "TeamServerClientWorld.h"

#include "support/QtPrinters.h"
#include "team/wire/TeamKeyResponse.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace tolvaran;
namespace teamKeys = fixtures::teamKeys;

namespace {

// This computer is the team's owner; a teammate's computer is registered as a member.
class TeamAdministrationTest : public TeamServerClientWorld
{
protected:
    void SetUp() override
    {
        TeamServerClientWorld::SetUp();
        settings.save(teamKeys::alpha);
        registerAs(settings, TeamInstallationRole::owner);
        teammate = profile(QStringLiteral("teammate"));
        registerAs(*teammate, TeamInstallationRole::member);
        QObject::connect(&client, &TeamServerClient::securitySnapshotRefreshed,
                         [this](const TeamSnapshot &snapshot) { refreshed.append(snapshot); });
    }

    std::optional<TeamInstallationRole> serverRole(const QString &deviceID)
    {
        for (const TeamInstallation &installation : server.team(teamId).installations) {
            if (installation.deviceId == deviceID)
                return installation.role;
        }
        return std::nullopt;
    }

    std::unique_ptr<TeamSettingsStore> teammate;
    QList<TeamSnapshot> refreshed;
};

} // namespace

TEST_F(TeamAdministrationTest, completingTheUpgradeStoresTheNewKeyAndRefreshes)
{
    settings.clearTeamKeyForMember();
    ASSERT_TRUE(
        awaitDone([&](Done done) { return client.completeSecurityUpgrade(nullptr, done); }));
    EXPECT_EQ(settings.readKey(), server.team(teamId).key);
    EXPECT_NE(settings.readKey(), teamKeys::alpha);
    EXPECT_TRUE(settings.hasStoredKey());
    ASSERT_EQ(refreshed.size(), 1);
    ASSERT_TRUE(refreshed[0].security);
    EXPECT_FALSE(refreshed[0].security->legacyKeyEnabled);
    const auto *snapshotRequest = [&]() -> const fixtures::LocalTeamServer::Request * {
        for (const auto &request : server.requests())
            if (request.path == QLatin1String("/v1/team/snapshot"))
                return &request;
        return nullptr;
    }();
    ASSERT_TRUE(snapshotRequest);
    EXPECT_EQ(snapshotRequest->query.toString(), "protocolVersion=2");
}

TEST_F(TeamAdministrationTest, rotatingTheInviteKeyDoesNotRefresh)
{
    ASSERT_TRUE(awaitDone([&](Done done) { return client.rotateInviteKey(nullptr, done); }));
    EXPECT_EQ(settings.readKey(), server.team(teamId).key);
    EXPECT_TRUE(refreshed.isEmpty());
    EXPECT_EQ(requestsTo("GET", QStringLiteral("/v1/team/snapshot")), 0);
}

TEST_F(TeamAdministrationTest, removingADeviceReplacesTheKeyAndPublishesTheNewMembers)
{
    ASSERT_TRUE(awaitDone([&](Done done) {
        return client.removeInstallation(teammate->deviceID(), nullptr, done);
    }));
    EXPECT_FALSE(serverRole(teammate->deviceID()));
    EXPECT_EQ(settings.readKey(), server.team(teamId).key);
    ASSERT_EQ(refreshed.size(), 1);
    ASSERT_TRUE(refreshed[0].security);
    EXPECT_EQ(refreshed[0].security->installations.size(), 1);
    EXPECT_EQ(refreshed[0].security->currentDeviceRole, TeamInstallationRole::owner);
}

TEST_F(TeamAdministrationTest, aDeviceIdIsSentAsOneSegmentOrRefused)
{
    server.registerDevice(teamId, QStringLiteral("odd device?#%"), QStringLiteral("Odd"),
                          TeamInstallationRole::member);
    ASSERT_TRUE(awaitDone([&](Done done) {
        return client.removeInstallation(QStringLiteral("odd device?#%"), nullptr, done);
    }));
    EXPECT_EQ(server.requests().first().rawPath,
              "/v1/team/installations/odd%20device%3F%23%25");
    EXPECT_FALSE(serverRole(QStringLiteral("odd device?#%")));

    const int before = server.requests().size();
    for (const QString &id : {QStringLiteral("../membership"), QStringLiteral(".."),
                              QStringLiteral(".")}) {
        const auto refused = awaitDone([&](Done done) {
            return client.removeInstallation(id, nullptr, done);
        });
        ASSERT_FALSE(refused);
        ASSERT_TRUE(refused.error().serviceError());
        EXPECT_EQ(refused.error().serviceError()->kind(),
                  TeamServiceError::Kind::invalidDeviceID);
        const auto refusedRole = awaitDone([&](Done done) {
            return client.setInstallationRole(TeamInstallationRole::admin, id, nullptr, done);
        });
        EXPECT_FALSE(refusedRole);
    }
    EXPECT_EQ(server.requests().size(), before);
}

TEST_F(TeamAdministrationTest, rolesAreSentAsTheirTextAndOwnershipOnlyByTransfer)
{
    ASSERT_TRUE(awaitDone([&](Done done) {
        return client.setInstallationRole(TeamInstallationRole::admin, teammate->deviceID(),
                                          nullptr, done);
    }));
    const QString rolePath = "/v1/team/installations/" + teammate->deviceID() + "/role";
    EXPECT_EQ(server.requests().first().path, rolePath);
    EXPECT_EQ(server.requests().first().body, R"({"role":"admin"})");
    EXPECT_EQ(server.requests().first().header("Content-Type"), "application/json");
    EXPECT_EQ(serverRole(teammate->deviceID()), TeamInstallationRole::admin);
    EXPECT_EQ(refreshed.size(), 1);

    ASSERT_TRUE(awaitDone([&](Done done) {
        return client.setInstallationRole(TeamInstallationRole::member, teammate->deviceID(),
                                          nullptr, done);
    }));
    EXPECT_EQ(serverRole(teammate->deviceID()), TeamInstallationRole::member);

    const int before = server.requests().size();
    const auto owner = awaitDone([&](Done done) {
        return client.setInstallationRole(TeamInstallationRole::owner, teammate->deviceID(),
                                          nullptr, done);
    });
    ASSERT_FALSE(owner);
    EXPECT_EQ(owner.error().message(), "The team server URL or key is invalid.");
    EXPECT_EQ(server.requests().size(), before);
}

TEST_F(TeamAdministrationTest, transferringOwnershipStoresTheRoleTheServerReports)
{
    ASSERT_TRUE(awaitDone([&](Done done) {
        return client.transferOwnership(teammate->deviceID(), nullptr, done);
    }));
    const auto *transfer = &server.requests().first();
    EXPECT_EQ(transfer->path, "/v1/team/ownership/transfer");
    EXPECT_EQ(QJsonDocument::fromJson(transfer->body).object(),
              QJsonObject({{"deviceId", teammate->deviceID()}}));
    EXPECT_EQ(serverRole(teammate->deviceID()), TeamInstallationRole::owner);
    EXPECT_EQ(settings.installationRole(), TeamInstallationRole::admin);
}

TEST_F(TeamAdministrationTest, aFailedRefreshChangesNothingAndTheCallStillSucceeds)
{
    for (const int status : {304, 500}) {
        SCOPED_TRACE(status);
        refreshed.clear();
        server.failNext("GET", QStringLiteral("/v1/team/snapshot"), status,
                        R"({"error":"Not now."})");
        ASSERT_TRUE(awaitDone([&](Done done) {
            return client.setInstallationRole(TeamInstallationRole::admin, teammate->deviceID(),
                                              nullptr, done);
        }));
        EXPECT_TRUE(refreshed.isEmpty());
        EXPECT_EQ(settings.installationRole(), TeamInstallationRole::owner);
    }
    // A snapshot without this device's role leaves the stored role alone.
    server.failNext("GET", QStringLiteral("/v1/team/snapshot"), 200,
                    R"({"type":"team.snapshot","protocolVersion":2,"generatedAt":1,)"
                    R"("members":[],"security":{"legacyKeyEnabled":true,"installations":[],)"
                    R"("unregisteredRecentMembers":[]}})");
    ASSERT_TRUE(awaitDone([&](Done done) {
        return client.transferOwnership(teammate->deviceID(), nullptr, done);
    }));
    EXPECT_EQ(refreshed.size(), 1);
    EXPECT_EQ(settings.installationRole(), TeamInstallationRole::owner);
}

TEST_F(TeamAdministrationTest, aKeyAnswerThatCannotBeUsedKeepsTheOldKey)
{
    struct Case
    {
        const char *name;
        QByteArray body;
    };
    const Case cases[] = {
        {"not a key response", R"({"key":"x"})"},
        {"a blank key", R"({"teamKey":"   "})"},
        {"empty", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        server.failNext("POST", QStringLiteral("/v1/team/invite/rotate"), 200, c.body);
        EXPECT_FALSE(awaitDone([&](Done done) { return client.rotateInviteKey(nullptr, done); }));
        EXPECT_EQ(settings.readKey(), teamKeys::alpha);
    }
}

TEST_F(TeamAdministrationTest, leavingAndDeletingSucceedOnNoContent)
{
    auto teammateClient = std::make_unique<TeamServerClient>(*teammate);
    ASSERT_TRUE(awaitDone([&](Done done) { return teammateClient->leaveTeam(nullptr, done); }));
    EXPECT_FALSE(serverRole(teammate->deviceID()));
    EXPECT_TRUE(teammate->teamID()); // leaving changes nothing here

    ASSERT_TRUE(awaitDone([&](Done done) { return client.deleteTeam(nullptr, done); }));
    EXPECT_FALSE(server.hasTeam(teamId));
    EXPECT_TRUE(refreshed.isEmpty());
}

TEST_F(TeamAdministrationTest, withoutAnIdentityNothingIsSent)
{
    auto stranger = profile(QStringLiteral("stranger"));
    TeamServerClient strangerClient(*stranger);
    const auto refused =
        awaitDone([&](Done done) { return strangerClient.leaveTeam(nullptr, done); });
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().message(), "The team server URL or key is invalid.");
    EXPECT_TRUE(server.requests().isEmpty());
}
