#include "TeamServerClientWorld.h"

#include "support/QtPrinters.h"

#include <QPointer>

using namespace tolvaran;
namespace teamKeys = fixtures::teamKeys;
using namespace std::chrono_literals;

namespace {

using Start = std::function<TeamCallHandle(TeamServerClient &, TeamServerClient::Done)>;

// Every call of the client, with the sentence it ends with when the server answers a JSON
// error sentence, and when it answers without one.
struct CallCase
{
    const char *name;
    QByteArray method;
    QString path;
    bool needsRegistration;
    Start start;
    QString withServerSentence;
    QString withoutServerSentence;
};

const QString serverSentence = QStringLiteral("Refused by the team's server.");
const QString fallback = QStringLiteral("The team server could not verify this team key.");
const QString peerDevice = QStringLiteral("peer-device");

QList<CallCase> everyCall()
{
    const auto verify = [](TeamServerClient &client, TeamServerClient::Done done) {
        return client.verifyTeam(teamKeys::alpha, nullptr,
                                 [done](TeamCallResult<TeamSnapshot> result) {
                                     if (result)
                                         done(std::monostate{});
                                     else
                                         done(result.error());
                                 });
    };
    const QString rename = QStringLiteral("The team name could not be updated.");
    // The calls that change the server's state most come last.
    return {
        {"verifyTeam", "GET", "/v1/team/snapshot", false, verify, fallback, fallback},
        {"updateTeamName", "PUT", "/v1/team", false,
         [](TeamServerClient &client, TeamServerClient::Done done) {
             return client.updateTeamName(teamKeys::alpha, "Renamed", nullptr, done);
         },
         rename, rename},
        {"ensureInstallationIdentity", "POST", "/v1/team/installations/register", false,
         [](TeamServerClient &client, TeamServerClient::Done done) {
             return client.ensureInstallationIdentity(nullptr, done);
         },
         serverSentence, "The team could not be registered with the server."},
        {"updateTeamNameAuthenticated", "PUT", "/v1/team", true,
         [](TeamServerClient &client, TeamServerClient::Done done) {
             return client.updateTeamNameAuthenticated("Renamed", nullptr, done);
         },
         serverSentence, fallback},
        {"setInstallationRole", "PUT", "/v1/team/installations/peer-device/role", true,
         [](TeamServerClient &client, TeamServerClient::Done done) {
             return client.setInstallationRole(TeamInstallationRole::admin, peerDevice,
                                               nullptr, done);
         },
         serverSentence, fallback},
        {"transferOwnership", "POST", "/v1/team/ownership/transfer", true,
         [](TeamServerClient &client, TeamServerClient::Done done) {
             return client.transferOwnership(peerDevice, nullptr, done);
         },
         serverSentence, fallback},
        {"completeSecurityUpgrade", "POST", "/v1/team/security/complete", true,
         [](TeamServerClient &client, TeamServerClient::Done done) {
             return client.completeSecurityUpgrade(nullptr, done);
         },
         serverSentence, fallback},
        {"rotateInviteKey", "POST", "/v1/team/invite/rotate", true,
         [](TeamServerClient &client, TeamServerClient::Done done) {
             return client.rotateInviteKey(nullptr, done);
         },
         serverSentence, fallback},
        {"removeInstallation", "DELETE", "/v1/team/installations/peer-device", true,
         [](TeamServerClient &client, TeamServerClient::Done done) {
             return client.removeInstallation(peerDevice, nullptr, done);
         },
         serverSentence, fallback},
        {"leaveTeam", "DELETE", "/v1/team/membership", true,
         [](TeamServerClient &client, TeamServerClient::Done done) {
             return client.leaveTeam(nullptr, done);
         },
         serverSentence, fallback},
        {"deleteTeam", "DELETE", "/v1/team", true,
         [](TeamServerClient &client, TeamServerClient::Done done) {
             return client.deleteTeam(nullptr, done);
         },
         serverSentence, fallback},
    };
}

// How long the clients of these tests wait for a silent server: short, since nothing here
// waits for an answer that comes.
constexpr std::chrono::milliseconds shortTimeLimit{1500};

class TeamServerCallFailuresTest : public TeamServerClientWorld
{
protected:
    void SetUp() override
    {
        TeamServerClientWorld::SetUp();
        registered->save(teamKeys::alpha);
        registerAs(*registered, TeamInstallationRole::owner);
        server.registerDevice(teamId, peerDevice, QStringLiteral("Peer"),
                              TeamInstallationRole::member);
        keyed->save(teamKeys::alpha);
    }

    TeamServerClient &clientFor(const CallCase &call, bool quick)
    {
        if (call.needsRegistration)
            return quick ? quickRegisteredClient : registeredClient;
        return quick ? quickKeyedClient : keyedClient;
    }

    TeamCallCompletion run(const CallCase &call, bool quick = false)
    {
        return awaitDone([&](Done done) { return call.start(clientFor(call, quick), done); });
    }

    std::unique_ptr<TeamSettingsStore> registered = profile(QStringLiteral("registered"));
    std::unique_ptr<TeamSettingsStore> keyed = profile(QStringLiteral("keyed"));
    TeamServerClient registeredClient{*registered};
    TeamServerClient keyedClient{*keyed};
    TeamServerClient quickRegisteredClient{*registered, {shortTimeLimit, shortTimeLimit}};
    TeamServerClient quickKeyedClient{*keyed, {shortTimeLimit, shortTimeLimit}};
};

} // namespace

TEST_F(TeamServerCallFailuresTest, everyCallTurnsAFailedAnswerIntoItsSentence)
{
    for (const CallCase &call : everyCall()) {
        SCOPED_TRACE(call.name);
        server.failNext(call.method, call.path, 403,
                        R"({"detail":1,"error":"Refused by the team's server."})");
        const auto refused = run(call);
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.error().message(), call.withServerSentence);

        server.failNext(call.method, call.path, 500, "<html><body>Oops</body></html>");
        const auto broken = run(call);
        ASSERT_FALSE(broken);
        EXPECT_EQ(broken.error().message(), call.withoutServerSentence);
        ASSERT_TRUE(broken.error().serviceError());
    }
    EXPECT_EQ(registered->readKey(), teamKeys::alpha);
    EXPECT_EQ(server.team(teamId).name, "Core");
}

TEST_F(TeamServerCallFailuresTest, noCallFollowsARedirect)
{
    const QString elsewhere = QStringLiteral("/v1/team/elsewhere");
    for (const int status : {301, 302, 307, 308}) {
        for (const CallCase &call : everyCall()) {
            SCOPED_TRACE(std::string(call.name) + " " + std::to_string(status));
            server.redirectNext(call.method, call.path, status, server.baseUrl() + elsewhere);
            const auto redirected = run(call);
            ASSERT_FALSE(redirected);
            EXPECT_EQ(redirected.error().message(), call.withoutServerSentence);
        }
    }
    for (const auto &request : server.requests())
        EXPECT_NE(request.path, elsewhere);
}

TEST_F(TeamServerCallFailuresTest, anAnswerCutShortIsATransportFailure)
{
    for (const CallCase &call : everyCall()) {
        SCOPED_TRACE(call.name);
        server.cutNext(call.method, call.path);
        const auto cut = run(call);
        ASSERT_FALSE(cut);
        ASSERT_TRUE(cut.error().transportError());
        EXPECT_EQ(cut.error().transportError()->kind(), TeamTransportError::Kind::failed);
        EXPECT_EQ(cut.error().message(), "The team server could not be reached.");
    }
    EXPECT_EQ(registered->readKey(), teamKeys::alpha);
    EXPECT_FALSE(keyed->teamID());
}

TEST_F(TeamServerCallFailuresTest, aServerThatNeverAnswersRunsIntoTheTimeLimit)
{
    for (const CallCase &call : everyCall()) {
        SCOPED_TRACE(call.name);
        server.delayNext(call.method, call.path, std::chrono::hours(1));
        const auto silent = run(call, true);
        ASSERT_FALSE(silent);
        ASSERT_TRUE(silent.error().transportError());
        EXPECT_EQ(silent.error().transportError()->kind(), TeamTransportError::Kind::timedOut);
        EXPECT_EQ(silent.error().message(), "The team server did not answer in time.");
    }
}

TEST_F(TeamServerCallFailuresTest, aCancelledCallEndsAtOnceAndOnlyOnce)
{
    for (const CallCase &call : everyCall()) {
        SCOPED_TRACE(call.name);
        server.delayNext(call.method, call.path, std::chrono::hours(1));
        std::optional<TeamCallCompletion> result;
        int completions = 0;
        const int requests = server.requests().size();
        TeamCallHandle handle = call.start(clientFor(call, false),
                                           [&](TeamCallCompletion outcome) {
                                               ++completions;
                                               result = std::move(outcome);
                                           });
        ASSERT_TRUE(
            fixtures::waitUntil([&] { return server.requests().size() == requests + 1; }));
        EXPECT_FALSE(handle.isFinished());
        handle.cancel();
        EXPECT_EQ(completions, 0); // never inside cancel()
        ASSERT_TRUE(fixtures::waitUntil([&] { return result.has_value(); }));
        ASSERT_FALSE(*result);
        EXPECT_TRUE(result->error().isCancelled());
        EXPECT_EQ(result->error().message(), "The request to the team server was cancelled.");
        handle.cancel();
        fixtures::runQueuedWork();
        EXPECT_EQ(completions, 1);
        EXPECT_TRUE(handle.isFinished());
    }
}

TEST_F(TeamServerCallFailuresTest, aCallWhoseReceiverIsGoneCompletesNobody)
{
    auto receiver = std::make_unique<QObject>();
    bool called = false;
    server.delayNext("POST", QStringLiteral("/v1/team/invite/rotate"), 200ms);
    const TeamCallHandle handle = registeredClient.rotateInviteKey(
        receiver.get(), [&called](TeamCallCompletion) { called = true; });
    receiver.reset();
    ASSERT_TRUE(fixtures::waitUntil([&] { return handle.isFinished(); }));
    fixtures::runQueuedWork();
    EXPECT_FALSE(called);
    // The call itself went through: the new key is stored.
    EXPECT_EQ(registered->readKey(), server.team(teamId).key);
}

TEST_F(TeamServerCallFailuresTest, aPlainHttpServerElsewhereIsNeverAsked)
{
    // A loopback address other than the two allowed: refused before anything is sent.
    environment.set(teamServerURLVariable, "http://127.0.0.2:9");
    for (const CallCase &call : everyCall()) {
        SCOPED_TRACE(call.name);
        const auto refused = run(call);
        ASSERT_FALSE(refused);
        ASSERT_TRUE(refused.error().serviceError());
        EXPECT_EQ(refused.error().serviceError()->kind(),
                  TeamServiceError::Kind::insecureServerURL);
    }
    EXPECT_TRUE(server.requests().isEmpty());
}
