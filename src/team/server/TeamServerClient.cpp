#include "team/server/TeamServerClient.h"

#include "network/BoundedReply.h"
#include "platform/AppBrand.h"
#include "team/server/TeamInstallationRegistration.h"
#include "team/wire/TeamJsonReader.h"
#include "team/wire/TeamKeyResponse.h"
#include "team/TeamLogging.h"
#include "team/wire/TeamMetadata.h"
#include "team/server/TeamSettingsStore.h"
#include "team/wire/TeamWireLimits.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace tolvaran {

namespace {

const QString teamPath = QStringLiteral("/v1/team");
const QString snapshotPath = QStringLiteral("/v1/team/snapshot");
const QString registrationPath = QStringLiteral("/v1/team/installations/register");
const QString securityCompletionPath = QStringLiteral("/v1/team/security/complete");
const QString inviteRotationPath = QStringLiteral("/v1/team/invite/rotate");
const QString ownershipTransferPath = QStringLiteral("/v1/team/ownership/transfer");
const QString membershipPath = QStringLiteral("/v1/team/membership");
const QString snapshotProtocolVersion = QStringLiteral("2");

constexpr int statusOK = 200;
constexpr int statusCreated = 201;
constexpr int statusNotFound = 404;

// Errors of the connection itself, as opposed to the ones Qt derives from an HTTP status
// (whose answer, body included, is complete and is judged by its status).
bool isTransportFailure(QNetworkReply::NetworkError error)
{
    return (error > QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied)
           || error == QNetworkReply::ProtocolUnknownError
           || error == QNetworkReply::ProtocolFailure;
}

bool isSuccess(std::optional<int> status)
{
    return status && *status >= 200 && *status <= 299;
}

void setJsonBody(QNetworkRequest &request)
{
    request.setRawHeader("Content-Type", "application/json");
}

QByteArray compactJson(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// The server's sentence in a failed answer: the string member "error" of a JSON object, other
// members ignored; nothing for any other body.
std::optional<QString> serverErrorSentence(const QByteArray &body)
{
    try {
        TeamJsonReader reader(body);
        std::optional<QString> sentence;
        reader.beginObject();
        while (const auto key = reader.nextKey()) {
            if (*key == "error")
                sentence = reader.requiredString();
            else
                reader.skipValue();
        }
        reader.finish();
        return sentence;
    } catch (const TeamWireError &) {
        return std::nullopt;
    }
}

TeamServiceError authenticatedFailure(const QByteArray &body)
{
    return TeamServiceError(TeamServiceErrorKind::serverMessage,
                            serverErrorSentence(body).value_or(
                                errorMessage(TeamServiceErrorKind::connectionFailed)));
}

} // namespace

// One call's completion, shared by the steps that lead to it.
template <typename Value>
class TeamServerClient::Call
{
public:
    Call(TeamServerClient *client, QObject *context, Completion<Value> done)
        : m_data(std::make_shared<Data>(Data{client,
                                             std::make_shared<Internal::TeamCallState>(),
                                             context != nullptr, context, std::move(done)}))
    {
    }

    const std::shared_ptr<Internal::TeamCallState> &state() const { return m_data->state; }
    TeamCallHandle handle() const { return TeamCallHandle(m_data->state); }

    void succeed(Value value) const { finish(TeamCallResult<Value>(std::move(value))); }
    void fail(TeamCallError error) const { finish(TeamCallResult<Value>(std::move(error))); }

    // The request `build` makes, or nothing once the call has failed with the reason the
    // builder refused it for (no key, an address that is not allowed, a bad device id).
    template <typename Build>
    std::optional<QNetworkRequest> prepare(Build &&build) const
    {
        try {
            return build();
        } catch (const TeamServiceError &error) {
            fail(error);
            return std::nullopt;
        }
    }

private:
    struct Data
    {
        QPointer<TeamServerClient> client;
        std::shared_ptr<Internal::TeamCallState> state;
        bool hasContext;
        QPointer<QObject> context;
        Completion<Value> done;
    };

    // Always through the event loop, so that no completion runs inside the call that started
    // it or inside cancel(). A cancel that comes first turns the outcome into a cancellation.
    void finish(TeamCallResult<Value> result) const
    {
        if (!m_data->client)
            return;
        QMetaObject::invokeMethod(
            m_data->client.data(),
            [data = m_data, result = std::move(result)]() mutable {
                if (data->state->finished)
                    return;
                data->state->finished = true;
                if ((data->hasContext && !data->context) || !data->done)
                    return;
                if (data->state->cancelled && !(!result && result.error().isCancelled()))
                    result = TeamCallResult<Value>(
                        TeamTransportError(TeamTransportError::Kind::cancelled));
                data->done(std::move(result));
            },
            Qt::QueuedConnection);
    }

    std::shared_ptr<Data> m_data;
};

TeamServerClient::TeamServerClient(TeamSettingsStore &settings, TeamRequestLimits limits,
                                   QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_limits(limits)
{
}

// The network manager is a child: QObject's destructor disconnects this object's slots before
// it deletes its children, so replies aborted by the manager's end reach no half-destroyed
// client.
TeamServerClient::~TeamServerClient() = default;

QNetworkAccessManager &TeamServerClient::network()
{
    if (!m_network) {
        // Its TLS configuration stays Qt's default: certificates are always verified, and no
        // handler of sslErrors ever ignores them.
        m_network = new QNetworkAccessManager(this);
        m_network->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    }
    return *m_network;
}

template <typename Value>
TeamServerClient::Call<Value> TeamServerClient::begin(QObject *context, Completion<Value> done)
{
    return Call<Value>(this, context, std::move(done));
}

void TeamServerClient::send(const std::shared_ptr<Internal::TeamCallState> &state,
                            QNetworkRequest request, const QByteArray &method,
                            const QByteArray &body, std::function<void(Outcome)> then)
{
    if (state->cancelled) {
        then(TeamTransportError(TeamTransportError::Kind::cancelled));
        return;
    }
    request.setTransferTimeout(int(m_limits.transferTimeout.count()));
    BoundedReply::prepare(request);
    const QString path = request.url().path();
    QNetworkReply *reply = network().sendCustomRequest(request, method, body);
    state->reply = reply;
    // A team answer beyond the wire limit is refused as it arrives, not held in memory first.
    auto *bounded = new BoundedReply(
        reply, {TeamWireLimits::maxMessageBytes, m_limits.deadline});
    connect(reply, &QNetworkReply::finished, this,
            [reply, bounded, state, method, path, then = std::move(then)] {
                reply->deleteLater();
                if (state->reply == reply)
                    state->reply = nullptr;
                if (state->cancelled) {
                    qCDebug(lcTeam, "Team request %s %s cancelled", method.constData(),
                            qUtf8Printable(path));
                    then(TeamTransportError(TeamTransportError::Kind::cancelled));
                    return;
                }
                if (bounded->stop() == BoundedReply::Stop::tooLarge) {
                    qCWarning(lcTeam, "Team request %s %s refused: the answer is too large",
                              method.constData(), qUtf8Printable(path));
                    then(TeamServiceError(TeamServiceError::Kind::invalidResponse));
                    return;
                }
                if (bounded->stop() == BoundedReply::Stop::deadline) {
                    qCWarning(lcTeam, "Team request %s %s failed: no whole answer in time",
                              method.constData(), qUtf8Printable(path));
                    then(TeamTransportError(TeamTransportError::Kind::timedOut,
                                            QNetworkReply::TimeoutError));
                    return;
                }
                const QNetworkReply::NetworkError error = reply->error();
                if (isTransportFailure(error)) {
                    // The transfer timeout aborts the reply, which Qt reports as cancelled;
                    // only the caller cancels, and that was handled above.
                    const bool timedOut = error == QNetworkReply::OperationCanceledError
                                          || error == QNetworkReply::TimeoutError;
                    qCWarning(lcTeam, "Team request %s %s failed: %s", method.constData(),
                              qUtf8Printable(path),
                              timedOut ? "timed out" : qUtf8Printable(reply->errorString()));
                    then(TeamTransportError(timedOut ? TeamTransportError::Kind::timedOut
                                                     : TeamTransportError::Kind::failed,
                                            error));
                    return;
                }
                Exchange exchange;
                const QVariant status =
                    reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
                if (status.isValid())
                    exchange.status = status.toInt();
                // A success whose body Qt could not inflate to its end: what was read of it,
                // however well-formed, is not the answer.
                if (error != QNetworkReply::NoError && isSuccess(exchange.status)) {
                    qCWarning(lcTeam, "Team request %s %s refused: %s", method.constData(),
                              qUtf8Printable(path), qUtf8Printable(reply->errorString()));
                    then(TeamServiceError(TeamServiceError::Kind::invalidResponse));
                    return;
                }
                exchange.body = bounded->takeBody();
                if (!isSuccess(exchange.status)) {
                    qCWarning(lcTeam, "Team request %s %s answered with status %d",
                              method.constData(), qUtf8Printable(path),
                              exchange.status.value_or(0));
                }
                then(std::move(exchange));
            });
}

TeamCallHandle TeamServerClient::verifyTeam(const QString &key, QObject *context,
                                            Completion<TeamSnapshot> done)
{
    const auto call = begin<TeamSnapshot>(context, std::move(done));
    std::optional<QNetworkRequest> prepared =
        call.prepare([&] { return teamRequest(snapshotPath, key); });
    if (!prepared)
        return call.handle();
    QNetworkRequest request = std::move(*prepared);
    send(call.state(), request, "GET", {}, [call](Outcome outcome) {
        if (const auto *failure = std::get_if<TeamCallError>(&outcome))
            return call.fail(*failure);
        const Exchange &answer = std::get<Exchange>(outcome);
        if (!answer.status)
            return call.fail(TeamServiceError(TeamServiceError::Kind::invalidResponse));
        if (*answer.status == statusNotFound)
            return call.fail(TeamServiceError(TeamServiceError::Kind::notRegistered));
        if (*answer.status != statusOK)
            return call.fail(TeamServiceError(TeamServiceError::Kind::connectionFailed));
        try {
            call.succeed(TeamSnapshot::fromJson(answer.body));
        } catch (const TeamWireError &) {
            call.fail(TeamServiceError(TeamServiceError::Kind::invalidResponse));
        }
    });
    return call.handle();
}

TeamCallHandle TeamServerClient::updateTeamName(const QString &key, const QString &name,
                                                QObject *context, Done done)
{
    const auto call = begin<std::monostate>(context, std::move(done));
    const QString trimmed = name.trimmed();
    std::optional<QNetworkRequest> prepared =
        call.prepare([&] { return teamRequest(teamPath, key); });
    if (!prepared)
        return call.handle();
    QNetworkRequest request = std::move(*prepared);
    setJsonBody(request);
    send(call.state(), request, "PUT", TeamMetadata{trimmed}.toJson(),
         [this, call, trimmed](Outcome outcome) {
             if (const auto *failure = std::get_if<TeamCallError>(&outcome))
                 return call.fail(*failure);
             // Only 200 says the server took the name; the error body is not read.
             if (std::get<Exchange>(outcome).status != statusOK)
                 return call.fail(TeamServiceError(TeamServiceError::Kind::teamUpdateFailed));
             Q_EMIT teamNameConfirmed(trimmed);
             call.succeed({});
         });
    return call.handle();
}

TeamCallHandle TeamServerClient::updateTeamNameAuthenticated(const QString &name,
                                                             QObject *context, Done done)
{
    const auto call = begin<std::monostate>(context, std::move(done));
    const QString trimmed = name.trimmed();
    std::optional<QNetworkRequest> prepared =
        call.prepare([&] { return authenticatedTeamRequest(m_settings, teamPath); });
    if (!prepared)
        return call.handle();
    QNetworkRequest request = std::move(*prepared);
    setJsonBody(request);
    performAuthenticatedRequest(call, request, "PUT", TeamMetadata{trimmed}.toJson(),
                                [this, call, trimmed](const QByteArray &body) {
                                    QString confirmed = trimmed;
                                    try {
                                        confirmed = TeamMetadata::fromJson(body).name;
                                    } catch (const TeamWireError &) {
                                        // An answer without a name confirms the one sent.
                                    }
                                    Q_EMIT teamNameConfirmed(confirmed);
                                    call.succeed({});
                                });
    return call.handle();
}

TeamCallHandle TeamServerClient::ensureInstallationIdentity(QObject *context, Done done)
{
    const auto call = begin<std::monostate>(context, std::move(done));
    if (m_settings.hasRegistration()) {
        call.succeed({});
        return call.handle();
    }
    const auto key = m_settings.readKey();
    if (!key) {
        call.fail(TeamSettingsError(TeamSettingsError::Kind::missingKey));
        return call.handle();
    }
    // Every attempt invents its own credential; a failed attempt's is forgotten.
    const QString credential = TeamSettingsStore::generateTeamKey();
    std::optional<QNetworkRequest> prepared =
        call.prepare([&] { return teamRequest(registrationPath, *key); });
    if (!prepared)
        return call.handle();
    QNetworkRequest request = std::move(*prepared);
    setJsonBody(request);
    const QByteArray body = compactJson({
        {QStringLiteral("deviceId"), m_settings.deviceID()},
        {QStringLiteral("memberName"), m_settings.memberName()},
        {QStringLiteral("credential"), credential},
        {QStringLiteral("appVersion"), AppBrand::version()},
    });
    send(call.state(), request, "POST", body, [this, call, credential](Outcome outcome) {
        if (const auto *failure = std::get_if<TeamCallError>(&outcome))
            return call.fail(*failure);
        const Exchange &answer = std::get<Exchange>(outcome);
        if (answer.status != statusCreated) {
            if (const auto sentence = serverErrorSentence(answer.body))
                return call.fail(
                    TeamServiceError(TeamServiceErrorKind::serverMessage, *sentence));
            return call.fail(TeamServiceError(TeamServiceError::Kind::registrationFailed));
        }
        try {
            const auto registration = TeamInstallationRegistration::fromJson(answer.body);
            m_settings.saveInstallation(registration.teamId, credential,
                                        registration.installation.role);
            // A plain member joins by its device identity alone; the shared key, which
            // admits anyone who holds it, is kept only by those who may invite.
            if (registration.installation.role == TeamInstallationRole::member)
                m_settings.clearTeamKeyForMember();
        } catch (const TeamWireError &error) {
            return call.fail(error);
        } catch (const TeamSettingsError &error) {
            return call.fail(error);
        }
        call.succeed({});
    });
    return call.handle();
}

void TeamServerClient::performAuthenticatedRequest(const Call<std::monostate> &call,
                                                   QNetworkRequest request,
                                                   const QByteArray &method,
                                                   const QByteArray &body,
                                                   std::function<void(const QByteArray &)> then)
{
    send(call.state(), std::move(request), method, body,
         [call, then = std::move(then)](Outcome outcome) {
             if (const auto *failure = std::get_if<TeamCallError>(&outcome))
                 return call.fail(*failure);
             const Exchange &answer = std::get<Exchange>(outcome);
             if (!isSuccess(answer.status))
                 return call.fail(authenticatedFailure(answer.body));
             then(answer.body);
         });
}

TeamCallHandle TeamServerClient::performKeyRotation(const QString &path,
                                                    const QByteArray &method, bool refreshes,
                                                    QObject *context, Done done)
{
    const auto call = begin<std::monostate>(context, std::move(done));
    std::optional<QNetworkRequest> prepared =
        call.prepare([&] { return authenticatedTeamRequest(m_settings, path); });
    if (!prepared)
        return call.handle();
    QNetworkRequest request = std::move(*prepared);
    performAuthenticatedRequest(call, request, method, {}, [this, call,
                                                            refreshes](const QByteArray &body) {
        try {
            const TeamKeyResponse response = TeamKeyResponse::fromJson(body);
            // A blank key would replace the working one with a file that reads as no key.
            if (response.teamKey.trimmed().isEmpty())
                return call.fail(TeamServiceError(TeamServiceError::Kind::invalidResponse));
            m_settings.writeKey(response.teamKey);
        } catch (const TeamWireError &error) {
            return call.fail(error);
        } catch (const TeamSettingsError &error) {
            return call.fail(error);
        }
        m_settings.setHasStoredKey(true);
        if (!refreshes)
            return call.succeed({});
        refreshSecuritySnapshot(call.state(), [call] { call.succeed({}); });
    });
    return call.handle();
}

TeamCallHandle TeamServerClient::performWithoutResult(const QString &path,
                                                      const QByteArray &method,
                                                      const QByteArray &body, bool refreshes,
                                                      QObject *context, Done done)
{
    const auto call = begin<std::monostate>(context, std::move(done));
    std::optional<QNetworkRequest> prepared =
        call.prepare([&] { return authenticatedTeamRequest(m_settings, path); });
    if (!prepared)
        return call.handle();
    QNetworkRequest request = std::move(*prepared);
    if (!body.isEmpty())
        setJsonBody(request);
    performAuthenticatedRequest(call, request, method, body,
                                [this, call, refreshes](const QByteArray &) {
                                    if (!refreshes)
                                        return call.succeed({});
                                    refreshSecuritySnapshot(call.state(),
                                                            [call] { call.succeed({}); });
                                });
    return call.handle();
}

TeamCallHandle TeamServerClient::completeSecurityUpgrade(QObject *context, Done done)
{
    return performKeyRotation(securityCompletionPath, "POST", true, context, std::move(done));
}

TeamCallHandle TeamServerClient::rotateInviteKey(QObject *context, Done done)
{
    return performKeyRotation(inviteRotationPath, "POST", false, context, std::move(done));
}

TeamCallHandle TeamServerClient::removeInstallation(const QString &deviceID, QObject *context,
                                                    Done done)
{
    QString path;
    try {
        path = teamInstallationPath(deviceID);
    } catch (const TeamServiceError &error) {
        const auto call = begin<std::monostate>(context, std::move(done));
        call.fail(error);
        return call.handle();
    }
    return performKeyRotation(path, "DELETE", true, context, std::move(done));
}

TeamCallHandle TeamServerClient::setInstallationRole(TeamInstallationRole role,
                                                     const QString &deviceID, QObject *context,
                                                     Done done)
{
    QString path;
    try {
        // Ownership moves only by transfer, which also demotes the old owner.
        if (role == TeamInstallationRole::owner)
            throw TeamServiceError(TeamServiceError::Kind::invalidSettings);
        path = teamInstallationPath(deviceID, QStringLiteral("/role"));
    } catch (const TeamServiceError &error) {
        const auto call = begin<std::monostate>(context, std::move(done));
        call.fail(error);
        return call.handle();
    }
    return performWithoutResult(path, "PUT",
                                compactJson({{QStringLiteral("role"), rawValue(role)}}), true,
                                context, std::move(done));
}

TeamCallHandle TeamServerClient::transferOwnership(const QString &deviceID, QObject *context,
                                                   Done done)
{
    return performWithoutResult(ownershipTransferPath, "POST",
                                compactJson({{QStringLiteral("deviceId"), deviceID}}), true,
                                context, std::move(done));
}

TeamCallHandle TeamServerClient::leaveTeam(QObject *context, Done done)
{
    return performWithoutResult(membershipPath, "DELETE", {}, false, context, std::move(done));
}

TeamCallHandle TeamServerClient::deleteTeam(QObject *context, Done done)
{
    return performWithoutResult(teamPath, "DELETE", {}, false, context, std::move(done));
}

void TeamServerClient::refreshSecuritySnapshot(
    const std::shared_ptr<Internal::TeamCallState> &state, std::function<void()> then)
{
    QNetworkRequest request;
    try {
        request = authenticatedTeamRequest(
            m_settings, snapshotPath,
            {{QStringLiteral("protocolVersion"), snapshotProtocolVersion}});
    } catch (const TeamServiceError &) {
        then();
        return;
    }
    send(state, request, "GET", {}, [this, then = std::move(then)](Outcome outcome) {
        const auto *answer = std::get_if<Exchange>(&outcome);
        if (!answer || answer->status != statusOK) {
            then();
            return;
        }
        std::optional<TeamSnapshot> snapshot;
        try {
            snapshot = TeamSnapshot::fromJson(answer->body);
        } catch (const TeamWireError &) {
            then();
            return;
        }
        if (snapshot->security && snapshot->security->currentDeviceRole)
            m_settings.updateInstallationRole(snapshot->security->currentDeviceRole);
        Q_EMIT securitySnapshotRefreshed(*snapshot);
        then();
    });
}

} // namespace tolvaran
