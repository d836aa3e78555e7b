#pragma once

#include "team_interface/TeamConnectionState.h"
#include "team/server/TeamCallHandle.h"
#include "team/view/TeamConnectedPerson.h"
#include "team/wire/TeamInstallation.h"
#include "team/wire/TeamSecurityStatus.h"
#include "team/server/TeamServerClient.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;

class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace tolvaran {

class TeamScreenTeam;

// One team's devices and people: every registered installation with its presence, role,
// last-seen time and version, the connected teammates without an installation, and, for owners
// and admins, the key tools and a menu per installation (roles, ownership, removal). Every
// operation shows a busy bar, then its result below the list; the lists follow the service's
// published values and are never reloaded here.
//
// An operation still running when the view goes (or is cancelled) is aborted.
class TeamPeopleAccessView final : public QWidget
{
    Q_OBJECT

public:
    // `team` must outlive the view.
    explicit TeamPeopleAccessView(TeamScreenTeam &team, QWidget *parent = nullptr);
    ~TeamPeopleAccessView() override;

    bool isWorking() const { return m_isWorking; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    const std::optional<QString> &statusMessage() const { return m_statusMessage; }
    // The ownership-transfer question while it is open.
    QMessageBox *transferAlert() const { return m_transferAlert; }

    void completeUpgrade();
    void rotateKey();
    void setRole(TeamInstallationRole role, const TeamInstallation &installation);
    void remove(const TeamInstallation &installation);
    // Asks first; nothing is sent until the alert's "Transfer Ownership".
    void askToTransferOwnership(const TeamInstallation &installation);
    void transferOwnership(const TeamInstallation &installation);
    // Aborts a running operation; false when none runs.
    bool cancelRunningCall();

private:
    // What the rows are drawn from; the rows are rebuilt only when it changes, so keyboard
    // focus stays where it is across unrelated changes.
    struct RenderInputs
    {
        std::optional<TeamSecurityStatus> security;
        QList<TeamConnectedPerson> people;
        TeamConnectionState connectionState;
        bool hasStoredKey = false;

        bool operator==(const RenderInputs &other) const;
    };

    using Starter = std::function<TeamCallHandle(QObject *context, TeamServerClient::Done)>;
    void perform(const QString &successText, const Starter &start);
    void render();
    void rebuildRows(const RenderInputs &inputs);
    void addInstallationRow(const TeamInstallation &installation,
                            const TeamSecurityStatus &security, const RenderInputs &inputs);
    void addConnectedPersonRow(const TeamConnectedPerson &person);
    void addKeySection(const TeamSecurityStatus &security, bool hasStoredKey);
    void renderWorking();

    TeamScreenTeam &m_team;
    bool m_isWorking = false;
    std::optional<QString> m_statusMessage;
    std::optional<QString> m_errorMessage;
    TeamCallHandle m_call;
    std::optional<RenderInputs> m_shownInputs;

    QWidget *m_rows = nullptr;
    QVBoxLayout *m_rowsLayout = nullptr;
    QList<QPointer<QWidget>> m_operationControls; // disabled while an operation runs
    QProgressBar *m_busy = nullptr;
    QLabel *m_message = nullptr;
    QPointer<QMessageBox> m_transferAlert;
};

} // namespace tolvaran
