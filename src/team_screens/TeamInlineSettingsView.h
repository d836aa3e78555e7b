#pragma once

#include "team/server/TeamCallHandle.h"

#include <QString>
#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tolvaran {

class TeamScreenTeam;

// The dashboard's settings box for a team this device already belongs to: the team name and
// the display name (editing the profile's settings directly), copying the stored key, and
// "Save Changes", which renames the team on the server as this device (unless it is a plain
// member), stores the settings and restarts the connection. No key is typed or verified here.
//
// A rename still running when the box goes (or is cancelled) is aborted and nothing of that
// save is stored.
class TeamInlineSettingsView final : public QWidget
{
    Q_OBJECT

public:
    // `team` must outlive the view.
    explicit TeamInlineSettingsView(TeamScreenTeam &team, QWidget *parent = nullptr);
    ~TeamInlineSettingsView() override;

    bool isWorking() const { return m_isWorking; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    const std::optional<QString> &statusMessage() const { return m_statusMessage; }

    void save();
    void copyTeamKey();
    // Aborts a running save; false when none runs.
    bool cancelRunningCall();

private:
    void render();
    void renderMessage();
    void setWorking(bool working);
    void fail(const QString &message);
    void finishSave();

    TeamScreenTeam &m_team;
    std::optional<QString> m_errorMessage;
    std::optional<QString> m_statusMessage;
    bool m_isWorking = false;
    TeamCallHandle m_call;

    QLineEdit *m_teamNameField = nullptr;
    QLineEdit *m_memberNameField = nullptr;
    QPushButton *m_copyButton = nullptr;
    QProgressBar *m_busy = nullptr;
    QLabel *m_message = nullptr;
    QPushButton *m_saveButton = nullptr;
};

} // namespace tolvaran
