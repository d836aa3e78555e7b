#pragma once

#include "team/server/TeamCallHandle.h"
#include "team/server/TeamCallResult.h"
#include "team/wire/TeamInstallationRole.h"
#include "team/server/TeamServerRequests.h"
#include "team/wire/TeamSnapshot.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>
#include <variant>

class QNetworkAccessManager;

namespace tolvaran {

class TeamSettingsStore;

// The REST half of one team's service: verification, naming, the installation registration
// and the administration calls, sent through one QNetworkAccessManager of its own.
//
// Every call is asynchronous on the GUI thread's event loop and returns a TeamCallHandle that
// cancels it. Its completion runs later on the GUI thread (never inside the call itself), once,
// and only while the client and `context` live (a null context: while the client lives).
// Every request has two time limits (TeamRequestLimits: without a byte arriving, and in all)
// and its answer is read within the wire limit of a team message as it arrives; nothing is
// retried and no redirect is followed.
//
// What a call publishes goes through signals, before its completion runs: a confirmed team
// name, and a fresh snapshot after the calls that change who may do what (this device's role
// from it is already stored in the settings by then).
class TeamServerClient final : public QObject
{
    Q_OBJECT

public:
    template <typename Value>
    using Completion = std::function<void(TeamCallResult<Value>)>;
    using Done = Completion<std::monostate>;

    explicit TeamServerClient(TeamSettingsStore &settings, TeamRequestLimits limits = {},
                              QObject *parent = nullptr);
    ~TeamServerClient() override;

    // Asks whether `key` (as given) belongs to a team; ends with the team's snapshot. Nothing
    // is stored.
    TeamCallHandle verifyTeam(const QString &key, QObject *context,
                              Completion<TeamSnapshot> done);
    // Renames the team with the key; the trimmed name is confirmed on an answer of 200.
    TeamCallHandle updateTeamName(const QString &key, const QString &name, QObject *context,
                                  Done done);
    // Renames the team as this profile; confirms the name the server answers with, or the
    // trimmed name sent when the answer has none.
    TeamCallHandle updateTeamNameAuthenticated(const QString &name, QObject *context,
                                               Done done);
    // Registers this device with its team under the stored key, unless it already holds a
    // credential and a team ID; stores the new identity (and drops the key of a plain member).
    TeamCallHandle ensureInstallationIdentity(QObject *context, Done done);

    // Administration as this registered device. The first three store the new shared key the
    // server answers with; those marked so then refresh the security snapshot.
    TeamCallHandle completeSecurityUpgrade(QObject *context, Done done); // refreshes
    TeamCallHandle rotateInviteKey(QObject *context, Done done);
    TeamCallHandle removeInstallation(const QString &deviceID, QObject *context,
                                      Done done); // refreshes
    // `owner` is refused before anything is sent: ownership moves only by transfer.
    TeamCallHandle setInstallationRole(TeamInstallationRole role, const QString &deviceID,
                                       QObject *context, Done done); // refreshes
    TeamCallHandle transferOwnership(const QString &deviceID, QObject *context,
                                     Done done); // refreshes
    TeamCallHandle leaveTeam(QObject *context, Done done);
    TeamCallHandle deleteTeam(QObject *context, Done done);

Q_SIGNALS:
    void teamNameConfirmed(const QString &name);
    void securitySnapshotRefreshed(const tolvaran::TeamSnapshot &snapshot);

private:
    // One answer as it came: its status (none when it was not an HTTP answer) and body.
    struct Exchange
    {
        std::optional<int> status;
        QByteArray body;
    };
    using Outcome = std::variant<Exchange, TeamCallError>;
    template <typename Value>
    class Call;

    template <typename Value>
    Call<Value> begin(QObject *context, Completion<Value> done);
    void send(const std::shared_ptr<Internal::TeamCallState> &state, QNetworkRequest request,
              const QByteArray &method, const QByteArray &body,
              std::function<void(Outcome)> then);
    // Sends an authenticated request and ends `call` with the failure of any answer outside
    // 200 to 299; `then` gets the body of a successful one.
    void performAuthenticatedRequest(const Call<std::monostate> &call, QNetworkRequest request,
                                     const QByteArray &method, const QByteArray &body,
                                     std::function<void(const QByteArray &)> then);
    TeamCallHandle performKeyRotation(const QString &path, const QByteArray &method,
                                      bool refreshes, QObject *context, Done done);
    TeamCallHandle performWithoutResult(const QString &path, const QByteArray &method,
                                        const QByteArray &body, bool refreshes,
                                        QObject *context, Done done);
    // Never fails: any failure leaves everything as it was.
    void refreshSecuritySnapshot(const std::shared_ptr<Internal::TeamCallState> &state,
                                 std::function<void()> then);
    QNetworkAccessManager &network();

    TeamSettingsStore &m_settings;
    TeamRequestLimits m_limits;
    QPointer<QNetworkAccessManager> m_network; // made on the first request
};

} // namespace tolvaran
