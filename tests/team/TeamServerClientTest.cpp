#include "TeamServerClientWorld.h"

#include "platform/AppBrand.h"
#include "support/QtPrinters.h"
#include "team/server/TeamServiceError.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

using namespace tolvaran;
using fixtures::LocalTeamServer;
namespace teamKeys = fixtures::teamKeys;

namespace {

const QString fallbackSentence = QStringLiteral("The team server could not verify this team key.");

QJsonObject jsonOf(const QByteArray &body)
{
    return QJsonDocument::fromJson(body).object();
}

class TeamServerClientTest : public TeamServerClientWorld
{
protected:
    TeamCallCompletion ensureIdentity()
    {
        return awaitDone(
            [&](Done done) { return client.ensureInstallationIdentity(nullptr, done); });
    }

    const LocalTeamServer::Request *lastRequestTo(const QByteArray &method, const QString &path)
    {
        const LocalTeamServer::Request *found = nullptr;
        for (const auto &request : server.requests()) {
            if (request.method == method && request.path == path)
                found = &request;
        }
        return found;
    }
};

} // namespace

TEST_F(TeamServerClientTest, verifyingAKeyAnswersWithTheTeamsSnapshot)
{
    const auto verified = awaitCall<TeamSnapshot>(
        [&](auto done) { return client.verifyTeam(teamKeys::alpha, nullptr, done); });
    ASSERT_TRUE(verified) << verified.error().message().toStdString();
    EXPECT_EQ(verified.value().team, TeamMetadata{QStringLiteral("Core")});
    const auto *request = lastRequestTo("GET", QStringLiteral("/v1/team/snapshot"));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->header("Authorization"), "Bearer " + teamKeys::alpha.toUtf8());
    EXPECT_EQ(request->header("Accept"), "application/json");
    EXPECT_EQ(request->header("X-Tolvaran-Version"), AppBrand::version().toUtf8());
    EXPECT_TRUE(request->query.isEmpty());
    EXPECT_FALSE(settings.hasStoredKey()); // nothing is stored

    const auto unknown = awaitCall<TeamSnapshot>(
        [&](auto done) { return client.verifyTeam(teamKeys::beta, nullptr, done); });
    ASSERT_FALSE(unknown);
    EXPECT_EQ(unknown.error().message(),
              "That team key has not been registered. Ask the team creator to confirm the "
              "shared key.");

    server.failNext("GET", QStringLiteral("/v1/team/snapshot"), 200, R"({"type":1})");
    const auto garbled = awaitCall<TeamSnapshot>(
        [&](auto done) { return client.verifyTeam(teamKeys::alpha, nullptr, done); });
    ASSERT_FALSE(garbled);
    EXPECT_EQ(garbled.error().message(), "The team server returned an invalid response.");

    const int before = server.requests().size();
    const auto tooShort = awaitCall<TeamSnapshot>([&](auto done) {
        return client.verifyTeam(QString(31, QLatin1Char('k')), nullptr, done);
    });
    ASSERT_FALSE(tooShort);
    EXPECT_EQ(tooShort.error().message(), "The team server URL or key is invalid.");
    EXPECT_EQ(server.requests().size(), before);
}

TEST_F(TeamServerClientTest, renamingWithTheKeySendsAndConfirmsTheTrimmedName)
{
    QStringList confirmed;
    QObject::connect(&client, &TeamServerClient::teamNameConfirmed,
                     [&confirmed](const QString &name) { confirmed.append(name); });
    ASSERT_TRUE(awaitDone([&](Done done) {
        return client.updateTeamName(teamKeys::alpha, QStringLiteral("  Platform \n"), nullptr,
                                     done);
    }));
    const auto *request = lastRequestTo("PUT", QStringLiteral("/v1/team"));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->body, R"({"name":"Platform"})");
    EXPECT_EQ(request->header("Content-Type"), "application/json");
    EXPECT_EQ(server.team(teamId).name, "Platform");
    EXPECT_EQ(confirmed, QStringList{QStringLiteral("Platform")});

    // Only 200 confirms a rename made with the key.
    server.failNext("PUT", QStringLiteral("/v1/team"), 204);
    const auto noContent = awaitDone([&](Done done) {
        return client.updateTeamName(teamKeys::alpha, QStringLiteral("Other"), nullptr, done);
    });
    ASSERT_FALSE(noContent);
    EXPECT_EQ(noContent.error().message(), "The team name could not be updated.");
    EXPECT_EQ(confirmed.size(), 1);
}

TEST_F(TeamServerClientTest, renamingAsADeviceConfirmsTheServersName)
{
    registerAs(settings, TeamInstallationRole::owner);
    QStringList confirmed;
    QObject::connect(&client, &TeamServerClient::teamNameConfirmed,
                     [&confirmed](const QString &name) { confirmed.append(name); });
    server.failNext("PUT", QStringLiteral("/v1/team"), 200, R"({"name":"Named By Server"})");
    ASSERT_TRUE(awaitDone([&](Done done) {
        return client.updateTeamNameAuthenticated(QStringLiteral(" Mine "), nullptr, done);
    }));
    server.failNext("PUT", QStringLiteral("/v1/team"), 204);
    ASSERT_TRUE(awaitDone([&](Done done) {
        return client.updateTeamNameAuthenticated(QStringLiteral(" Mine "), nullptr, done);
    }));
    EXPECT_EQ(confirmed, (QStringList{QStringLiteral("Named By Server"), QStringLiteral("Mine")}));
    const auto *request = lastRequestTo("PUT", QStringLiteral("/v1/team"));
    ASSERT_TRUE(request);
    EXPECT_TRUE(
        request->header("Authorization").startsWith(QByteArray("Device " + teamId.toUtf8())));
    EXPECT_EQ(request->body, R"({"name":"Mine"})");
}

TEST_F(TeamServerClientTest, theFirstDeviceRegistersAsOwnerAndKeepsTheKey)
{
    settings.save(teamKeys::alpha);
    ASSERT_TRUE(ensureIdentity());
    const auto *request =
        lastRequestTo("POST", QStringLiteral("/v1/team/installations/register"));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->header("Authorization"), "Bearer " + teamKeys::alpha.toUtf8());
    EXPECT_EQ(request->header("Content-Type"), "application/json");
    const QJsonObject body = jsonOf(request->body);
    EXPECT_EQ(body.keys(), (QStringList{"appVersion", "credential", "deviceId", "memberName"}));
    EXPECT_EQ(body.value("deviceId").toString(), settings.deviceID());
    EXPECT_EQ(body.value("appVersion").toString(), AppBrand::version());
    EXPECT_EQ(body.value("credential").toString().size(), 43);

    EXPECT_EQ(settings.teamID(), teamId);
    EXPECT_EQ(settings.installationRole(), TeamInstallationRole::owner);
    EXPECT_EQ(settings.readCredential(), body.value("credential").toString());
    EXPECT_EQ(settings.readKey(), teamKeys::alpha);
    EXPECT_TRUE(settings.authorizationHeader()->startsWith("Device "));

    // Registered: nothing more is sent.
    const int before = server.requests().size();
    ASSERT_TRUE(ensureIdentity());
    EXPECT_EQ(server.requests().size(), before);
}

TEST_F(TeamServerClientTest, aMemberRegistersAndGivesUpTheKey)
{
    auto owner = profile(QStringLiteral("owner"));
    registerAs(*owner, TeamInstallationRole::owner);
    settings.save(teamKeys::alpha);
    ASSERT_TRUE(ensureIdentity());
    EXPECT_EQ(settings.installationRole(), TeamInstallationRole::member);
    EXPECT_FALSE(settings.hasStoredKey());
    EXPECT_FALSE(settings.readKey());
    EXPECT_FALSE(
        QFileInfo::exists(*settings.credentialsFilePath(TeamSettingsStore::keyFileName)));
    EXPECT_TRUE(settings.readCredential());
}

TEST_F(TeamServerClientTest, aRegistrationNotAnsweredWithCreatedStoresNothing)
{
    settings.save(teamKeys::alpha);
    const QString path = QStringLiteral("/v1/team/installations/register");
    server.failNext("POST", path, 200, R"({"error":"Registrations are paused."})");
    const auto paused = ensureIdentity();
    ASSERT_FALSE(paused);
    EXPECT_EQ(paused.error().message(), "Registrations are paused.");
    server.failNext("POST", path, 503, "Service Unavailable");
    const auto failed = ensureIdentity();
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().message(), "The team could not be registered with the server.");
    server.failNext("POST", path, 201, R"({"teamId":"t"})");
    const auto undecodable = ensureIdentity();
    ASSERT_FALSE(undecodable);
    EXPECT_TRUE(undecodable.error().decodingError());

    EXPECT_FALSE(settings.teamID());
    EXPECT_FALSE(settings.readCredential());
    EXPECT_EQ(settings.readKey(), teamKeys::alpha);
    QStringList credentials;
    for (const auto &request : server.requests())
        credentials.append(jsonOf(request.body).value("credential").toString());
    ASSERT_EQ(credentials.size(), 3);
    EXPECT_NE(credentials[0], credentials[1]);
    EXPECT_NE(credentials[1], credentials[2]);
}

TEST_F(TeamServerClientTest, registeringNeedsAKeyLongEnoughForARequest)
{
    const auto missing = ensureIdentity();
    ASSERT_FALSE(missing);
    ASSERT_TRUE(missing.error().settingsError());
    EXPECT_EQ(missing.error().settingsError()->kind(), TeamSettingsError::Kind::missingKey);

    settings.save(teamKeys::shortForRequests);
    const auto tooShort = ensureIdentity();
    ASSERT_FALSE(tooShort);
    EXPECT_EQ(tooShort.error().message(), "The team server URL or key is invalid.");
    EXPECT_TRUE(server.requests().isEmpty());
}
