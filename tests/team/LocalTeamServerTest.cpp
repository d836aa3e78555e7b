#include "support/team/LocalTeamServer.h"
#include "support/QtPrinters.h"
#include "support/WaitUntil.h"
#include "team/wire/PrivateStateUpdate.h"
#include "team/server/TeamInstallationRegistration.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <memory>

using namespace tolvaran;
using fixtures::LocalTeamServer;
using fixtures::waitUntil;

namespace {

struct Response
{
    int status = 0;
    QByteArray body;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
};

class LocalTeamServerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }

    Response call(const QByteArray &method, const QString &path, const QByteArray &authorization,
                  const QByteArray &body = {})
    {
        QNetworkRequest request(QUrl(server.baseUrl() + path));
        request.setRawHeader("Authorization", authorization);
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArrayLiteral("application/json"));
        std::unique_ptr<QNetworkReply> reply(network.sendCustomRequest(request, method, body));
        EXPECT_TRUE(waitUntil([&] { return reply->isFinished(); }));
        return Response{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                        reply->readAll(), reply->error()};
    }

    // An open socket of a registered device and the frames it received.
    std::unique_ptr<QWebSocket> openSocket(const QByteArray &authorization,
                                           QList<QByteArray> &received)
    {
        auto socket = std::make_unique<QWebSocket>();
        QObject::connect(socket.get(), &QWebSocket::textMessageReceived,
                         [&received](const QString &text) { received.append(text.toUtf8()); });
        QNetworkRequest request(QUrl(server.baseUrl().replace("http:", "ws:")
                                     + "/v1/team/socket?protocolVersion=2"));
        request.setRawHeader("Authorization", authorization);
        socket->open(request);
        return socket;
    }

    LocalTeamServer server;
    QNetworkAccessManager network;
};

} // namespace

TEST_F(LocalTeamServerTest, registrationMakesTheFirstDeviceOwnerAndKeyDeletionIsRefused)
{
    const QString team = server.createTeam("Core");
    const QByteArray bearer = "Bearer " + server.team(team).key.toUtf8();
    const Response registered =
        call("POST", "/v1/team/installations/register", bearer,
             R"({"deviceId":"d1","memberName":"Ana","credential":"c1","appVersion":"1.0"})");
    ASSERT_EQ(registered.status, 201);
    const auto registration = TeamInstallationRegistration::fromJson(registered.body);
    EXPECT_EQ(registration.teamId, team);
    EXPECT_EQ(registration.installation.role, TeamInstallationRole::owner);
    EXPECT_EQ(registration.installation.appVersion, "1.0");

    const Response refused = call("DELETE", "/v1/team", bearer);
    EXPECT_EQ(refused.status, 409);
    EXPECT_TRUE(refused.body.contains(R"("error":)"));
    EXPECT_TRUE(server.hasTeam(team));

    const QByteArray device = "Device " + team.toUtf8() + ".d1.c1";
    EXPECT_EQ(call("DELETE", "/v1/team", device).status, 204);
    EXPECT_FALSE(server.hasTeam(team));
    EXPECT_EQ(call("GET", "/v1/team/snapshot", bearer).status, 404);
}

TEST_F(LocalTeamServerTest, callsFailWaitOrDropOnDemandAndAreRecorded)
{
    const QString team = server.createTeam("Core");
    const QByteArray bearer = "Bearer " + server.team(team).key.toUtf8();

    server.failNext("GET", "/v1/team/snapshot", 500, "<html>down</html>");
    const Response failed = call("GET", "/v1/team/snapshot", bearer);
    EXPECT_EQ(failed.status, 500);
    EXPECT_EQ(failed.body, "<html>down</html>");

    server.dropNext("GET", "/v1/team/snapshot", 10);
    EXPECT_NE(call("GET", "/v1/team/snapshot", bearer).error, QNetworkReply::NoError);
    server.clearFaults();

    server.delayNext("GET", "/v1/team/snapshot", std::chrono::milliseconds(200));
    const Response delayed = call("GET", "/v1/team/snapshot", bearer);
    EXPECT_EQ(delayed.status, 200);
    EXPECT_EQ(TeamSnapshot::fromJson(delayed.body).team, TeamMetadata{"Core"});

    EXPECT_EQ(server.requests().last().header("authorization"), bearer);
    EXPECT_EQ(server.requests().last().method, "GET");
}

TEST_F(LocalTeamServerTest, socketGetsASnapshotAtOnceAndAnUpdatedOneAfterAState)
{
    const QString team = server.createTeam("Core");
    const QString credential =
        server.registerDevice(team, "d1", "Ana", TeamInstallationRole::admin);
    QList<QByteArray> received;
    const auto socket =
        openSocket("Device " + team.toUtf8() + ".d1." + credential.toUtf8(), received);
    ASSERT_TRUE(waitUntil([&] { return received.size() == 1; }));
    const TeamSnapshot first = TeamSnapshot::fromJson(received[0]);
    EXPECT_EQ(first.protocolVersion, 2);
    EXPECT_TRUE(first.members.isEmpty());
    EXPECT_EQ(first.security->currentDeviceRole, TeamInstallationRole::admin);

    SharedProjectState project;
    project.repositoryId = "9f86d0";
    project.repositoryName = "app";
    const QByteArray state = PrivateStateUpdate{"d1", "Ana", {"9f86d0"}, {project}}.toJson();
    socket->sendTextMessage(QString::fromUtf8(state));
    ASSERT_TRUE(waitUntil([&] { return received.size() == 2; }));
    const TeamSnapshot second = TeamSnapshot::fromJson(received[1]);
    ASSERT_EQ(second.members.size(), 1);
    EXPECT_EQ(second.members[0].deviceId, "d1");
    EXPECT_EQ(second.members[0].projects, QList<SharedProjectState>{project});
    EXPECT_EQ(second.overlappingRepositoryIds, QStringList());

    ASSERT_EQ(server.framesFromClients().size(), 1);
    EXPECT_EQ(server.framesFromClients()[0].text, state);

    server.sendFrame(team, "{}");
    ASSERT_TRUE(waitUntil([&] { return received.size() == 3; }));
    EXPECT_EQ(received[2], "{}");

    socket->close();
    EXPECT_TRUE(waitUntil([&] {
        return server.snapshot(team, 2).members[0].isConnected == false;
    }));
    EXPECT_EQ(server.openSocketCount(team), 0);
}

TEST_F(LocalTeamServerTest, refusedSocketIsClosedBeforeAnySnapshot)
{
    const QString team = server.createTeam("Core");
    server.setRefuseSockets(true);
    QList<QByteArray> received;
    const auto socket = openSocket("Bearer " + server.team(team).key.toUtf8(), received);
    ASSERT_TRUE(waitUntil([&] { return int(socket->closeCode()) == 4401; }));
    EXPECT_TRUE(received.isEmpty());
    EXPECT_EQ(server.openSocketCount(team), 0);
}
