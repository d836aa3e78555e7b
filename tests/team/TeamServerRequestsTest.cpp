#include "platform/AppBrand.h"
#include "platform/storage/KeyValueStore.h"
#include "support/QtPrinters.h"
#include "support/ScopedEnvironment.h"
#include "support/team/TeamTestKeys.h"
#include "support/TemporaryHome.h"
#include "support/team/WatchedSecrets.h"
#include "team/server/TeamServerAddress.h"
#include "team/server/TeamServerRequests.h"
#include "team/server/TeamServiceError.h"
#include "team/server/TeamSettingsStore.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

#include <optional>

using namespace tolvaran;
namespace teamKeys = fixtures::teamKeys;

namespace {

using ErrorKind = TeamServiceError::Kind;

std::optional<ErrorKind> errorOf(const std::function<void()> &build)
{
    try {
        build();
    } catch (const TeamServiceError &error) {
        return error.kind();
    }
    return std::nullopt;
}

class TeamServerRequestsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fixtures::watchSecret(teamKeys::alpha);
        useServer("https://team.example.org");
    }

    void useServer(const QByteArray &address)
    {
        environment.set(teamServerURLVariable, address);
    }

    fixtures::ScopedEnvironment environment;
    fixtures::TemporaryHome home;
    KeyValueStore defaults{home.filePath(QStringLiteral("defaults.ini"))};
    TeamSettingsStore settings{defaults, QStringLiteral("p"), false,
                               home.filePath(QStringLiteral("support"))};
};

} // namespace

TEST_F(TeamServerRequestsTest, theBaseMustBeHttpsOrLoopbackHttp)
{
    struct Case
    {
        const char *address;
        std::optional<ErrorKind> error;
        const char *scheme;
    };
    const Case cases[] = {
        {"https://team.example.org", {}, "https"},
        {" HTTPS://Team.Example.org \n", {}, "https"},
        {"http://127.0.0.1:8123", {}, "http"},
        {"HTTP://LocalHost:8123", {}, "http"},
        {"http://team.example.org", ErrorKind::insecureServerURL, ""},
        {"http://127.0.0.2:8123", ErrorKind::insecureServerURL, ""},
        {"ftp://team.example.org", ErrorKind::invalidSettings, ""},
        {"https://", ErrorKind::invalidSettings, ""},
        {"team.example.org", ErrorKind::invalidSettings, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.address);
        useServer(c.address);
        QUrl base;
        EXPECT_EQ(errorOf([&] { base = teamServerBaseURL(); }), c.error);
        if (!c.error) {
            EXPECT_EQ(base.scheme(), QLatin1String(c.scheme));
        }
    }
    EXPECT_EQ(TeamServiceError(ErrorKind::insecureServerURL).message(),
              "The team server URL must use https; plain http is allowed only for 127.0.0.1 "
              "and localhost.");
}

TEST_F(TeamServerRequestsTest, keyRequestsNeedThirtyTwoCharactersOfPrintableKey)
{
    const QString thirtyOne(31, QLatin1Char('k'));
    struct Case
    {
        const char *name;
        QString key;
        std::optional<ErrorKind> error;
    };
    const Case cases[] = {
        {"31 characters", thirtyOne, ErrorKind::invalidSettings},
        {"32 characters", thirtyOne + QLatin1Char('k'), {}},
        {"a leading space counts", QLatin1Char(' ') + thirtyOne, {}},
        {"blank", QString(40, QLatin1Char(' ')), ErrorKind::invalidSettings},
        {"a line break inside", thirtyOne + QStringLiteral("\r\nX-Other: 1"),
         ErrorKind::invalidSettings},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QNetworkRequest request;
        EXPECT_EQ(errorOf([&] { request = teamRequest(QStringLiteral("/v1/team"), c.key); }),
                  c.error);
        if (!c.error) {
            EXPECT_EQ(request.rawHeader("Authorization"), "Bearer " + c.key.toUtf8());
        }
    }
}

TEST_F(TeamServerRequestsTest, requestsCarryTheVersionTheTimeLimitAndNoRedirects)
{
    const QNetworkRequest request = teamRequest(QStringLiteral("/v1/team/snapshot"),
                                                teamKeys::alpha);
    EXPECT_EQ(request.url().toString(), "https://team.example.org/v1/team/snapshot");
    EXPECT_EQ(request.rawHeaderList(),
              (QList<QByteArray>{"Authorization", "Accept", "X-Tolvaran-Version"}));
    EXPECT_EQ(request.rawHeader("Accept"), "application/json");
    EXPECT_EQ(request.rawHeader("X-Tolvaran-Version"), AppBrand::version().toUtf8());
    EXPECT_EQ(request.transferTimeout(), 60000);
    EXPECT_EQ(request.attribute(QNetworkRequest::RedirectPolicyAttribute).toInt(),
              int(QNetworkRequest::ManualRedirectPolicy));
}

TEST_F(TeamServerRequestsTest, authenticatedRequestsUseTheProfilesAuthorization)
{
    EXPECT_EQ(errorOf([&] { authenticatedTeamRequest(settings, QStringLiteral("/v1/team")); }),
              ErrorKind::invalidSettings);
    EXPECT_FALSE(socketRequest(settings));

    settings.writeKey(teamKeys::alpha);
    settings.saveInstallation(QStringLiteral("team-7"), QStringLiteral("cred"),
                              TeamInstallationRole::member);
    const QNetworkRequest plain = authenticatedTeamRequest(settings, QStringLiteral("/v1/team"));
    EXPECT_FALSE(plain.url().hasQuery());
    EXPECT_EQ(plain.rawHeader("Authorization"),
              "Device team-7." + settings.deviceID().toUtf8() + ".cred");
    const QNetworkRequest withQuery = authenticatedTeamRequest(
        settings, QStringLiteral("/v1/team/snapshot"),
        {{QStringLiteral("protocolVersion"), QStringLiteral("2")}});
    EXPECT_EQ(withQuery.url().query(), "protocolVersion=2");

    // A team ID from a tampered defaults file cannot smuggle a header in.
    defaults.setValue(QStringLiteral("teams.p.id"), QStringLiteral("team\r\nX-Other: 1"));
    EXPECT_EQ(errorOf([&] { authenticatedTeamRequest(settings, QStringLiteral("/v1/team")); }),
              ErrorKind::invalidSettings);
}

TEST_F(TeamServerRequestsTest, theSocketIsSecureWheneverTheBaseIsHttps)
{
    settings.writeKey(teamKeys::alpha);
    struct Case
    {
        const char *base;
        const char *socket;
    };
    const Case cases[] = {
        {"https://team.example.org", "wss://team.example.org/v1/team/socket?protocolVersion=2"},
        {"HTTPS://team.example.org", "wss://team.example.org/v1/team/socket?protocolVersion=2"},
        {"http://127.0.0.1:8123", "ws://127.0.0.1:8123/v1/team/socket?protocolVersion=2"},
        {"http://team.example.org", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.base);
        useServer(c.base);
        const auto request = socketRequest(settings);
        ASSERT_EQ(request.has_value(), c.socket != nullptr);
        if (!request)
            continue;
        EXPECT_EQ(request->url().toString(), QLatin1String(c.socket));
        EXPECT_EQ(request->rawHeaderList(),
                  (QList<QByteArray>{"Authorization", "X-Tolvaran-Version"}));
        EXPECT_EQ(request->rawHeader("Authorization"), "Bearer " + teamKeys::alpha.toUtf8());
    }
}

TEST_F(TeamServerRequestsTest, aDeviceIdIsOneEncodedPathSegment)
{
    struct Case
    {
        QString deviceID;
        const char *path; // nullptr: refused
    };
    const Case cases[] = {
        {QStringLiteral("3f2a0c1e-9b7d-4e2a-8c1f-0a1b2c3d4e5f"),
         "/v1/team/installations/3f2a0c1e-9b7d-4e2a-8c1f-0a1b2c3d4e5f/role"},
        {QStringLiteral("a b?c#d%e"), "/v1/team/installations/a%20b%3Fc%23d%25e/role"},
        {QStringLiteral("..x"), "/v1/team/installations/..x/role"},
        {QStringLiteral("a/b"), nullptr},
        {QStringLiteral("/"), nullptr},
        {QStringLiteral("."), nullptr},
        {QStringLiteral(".."), nullptr},
        {QString(), nullptr},
    };
    settings.writeKey(teamKeys::alpha);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.deviceID.toStdString());
        QString path;
        const auto error =
            errorOf([&] { path = teamInstallationPath(c.deviceID, QStringLiteral("/role")); });
        if (!c.path) {
            EXPECT_EQ(error, ErrorKind::invalidDeviceID);
            continue;
        }
        ASSERT_FALSE(error);
        const QNetworkRequest request = authenticatedTeamRequest(settings, path);
        EXPECT_EQ(request.url().path(QUrl::FullyEncoded), QLatin1String(c.path));
    }
}
