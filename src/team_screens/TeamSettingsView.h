#pragma once

#include "team/server/TeamCallHandle.h"
#include "team/server/TeamSettingsError.h"
#include "team/wire/TeamInstallation.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace tolvaran {

class ClosureButton;
class TeamScreenTeam;

// The sheet in which the user joins a team with the shared key a teammate handed over, or, for
// a profile that holds a key, edits the names and checks the stored key. Its fields edit the
// profile's settings directly; nothing is stored before "Save".
//
// "Save" validates the names, verifies the key with the server (adopting the server's team
// name when joining, pushing the typed one when editing), stores the settings, restarts the
// team's connection, then calls `onSaved` and closes. Closing ("Cancel", the close button,
// Escape) while a save runs cancels its server call: nothing of that save is stored, the
// connection is not restarted and `onSaved` is never called.
//
// Closing calls `onDismiss` when given, else rejects the dialog. Hosts end the sheet with
// deleteLater(), since a callback may run inside the sheet's own handler.
class TeamSettingsView final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int sheetWidth = 560;
    static constexpr int sheetHeight = 680;

    using Callback = std::function<void()>;
    // Whether this computer already belongs, through another profile, to the team that a key
    // opens (given the installations the server lists for it, or none before it is asked).
    using MembershipCheck =
        std::function<bool(const QString &key, const QList<TeamInstallation> &installations)>;

    // `team` must outlive the sheet.
    TeamSettingsView(TeamScreenTeam &team, Callback onDismiss, Callback onSaved,
                     QWidget *parent = nullptr);
    ~TeamSettingsView() override;

    // A key typed here that opens a team this computer already belongs to is refused, so that
    // no team is joined twice (two entries, two device seats). Without a check nothing is.
    void setMembershipCheck(MembershipCheck check) { m_isMember = std::move(check); }

    bool isWorking() const { return m_isWorking; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    const std::optional<QString> &statusMessage() const { return m_statusMessage; }

    void save();
    void copyTeamKey();
    void closeSheet();

    // Escape.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildInterface();
    void render();
    bool mayShareKey() const;
    void setWorking(bool working);
    void setError(const std::optional<QString> &message);
    void setStatus(const std::optional<QString> &message);
    // Shows `message` and ends the save. The focus goes to `field`, the control the failure
    // concerns, when it shows; else back to Save, when the save took it from there.
    void fail(const QString &message, QWidget *field = nullptr);
    void fail(const TeamSettingsError &error);
    void finishSave(const QString &typedKey);
    // Fails the save when the typed key opens a team this computer belongs to already.
    bool refuseSecondMembership(const QString &typedKey,
                                const QList<TeamInstallation> &installations);

    TeamScreenTeam &m_team;
    Callback m_onDismiss;
    Callback m_onSaved;
    MembershipCheck m_isMember;

    QString m_newKey;
    std::optional<QString> m_errorMessage;
    std::optional<QString> m_statusMessage;
    bool m_isWorking = false;
    bool m_isClosed = false;
    bool m_clearedNotifications = false;
    TeamCallHandle m_call;

    QLabel *m_title = nullptr;
    QLineEdit *m_teamNameField = nullptr;
    QLineEdit *m_memberNameField = nullptr;
    QStackedWidget *m_keyRow = nullptr;
    QLineEdit *m_keyField = nullptr;
    QWidget *m_shareRow = nullptr;
    QLabel *m_shareLabel = nullptr;
    QLabel *m_errorLabel = nullptr;
    QLabel *m_statusLabel = nullptr;
    QLabel *m_connectionSymbol = nullptr;
    QLabel *m_connectionLabel = nullptr;
    QProgressBar *m_busy = nullptr;
    QPushButton *m_saveButton = nullptr;
};

} // namespace tolvaran
