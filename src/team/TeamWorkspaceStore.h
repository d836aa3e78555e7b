#pragma once

#include "data/git/LocalTeamProjectSource.h"
#include "team_interface/TeamWorkspaceService.h"
#include "data/token_usage/TokenUsageSnapshot.h"
#include "platform/ApplicationSupport.h"
#include "team/presence/TeamClock.h"
#include "team/TeamWorkspaceAnswers.h"
#include "team/view/TeamProjectViewSource.h"

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QString>

#include <memory>

namespace tolvaran {

class KeyValueStore;
class ProjectMetadataCache;
class TeamSettingsStore;
class TeamWorkspace;

// Every team profile of this installation, and the one object through which the rest of the
// program sees teams: the coordinator hands it its projects, token usage and rescans, which
// reach every team; the browser and the detail pane read answers joined over the enabled
// teams. A listed team's own changes reach the workspace one event-loop turn later: as
// teamChanged(id), and as the change signal of each answer they altered.
//
// The profile list lives in the user defaults ("teams.profileIDs": every profile but the
// first, "legacy", which is always listed) beside the team chosen for management. Opening the
// workspace reads them and each profile's settings (dropping stored profiles without a
// membership); it opens no connection: start() does, once, from the window's launch work.
// Teams are shared objects, so a screen holding one keeps a usable object after its removal.
// GUI thread only.
class TeamWorkspaceStore final : public TeamWorkspaceService, public TeamProjectViewSource
{
    Q_OBJECT

public:
    static inline const QString profileIDsKey = QStringLiteral("teams.profileIDs");
    static inline const QString selectedManagementTeamIDKey =
        QStringLiteral("teams.selectedManagementTeamID");
    static inline const QString noTeamName = QStringLiteral("Teams");
    static inline const QString unavailableMessage =
        QStringLiteral("One or more teams are unavailable");
    static inline const QString reconnectingMessage =
        QStringLiteral("One or more teams are reconnecting");

    // Opens every stored profile in `defaults`, their secret files under
    // `applicationSupportDirectory`; all teams' services share `metadataCache` and wait on
    // `clock`. Writes the cleaned profile list back.
    TeamWorkspaceStore(KeyValueStore &defaults, ProjectMetadataCache &metadataCache,
                       const QString &applicationSupportDirectory =
                           defaultApplicationSupportDirectory(),
                       TeamClock &clock = TeamClock::systemClock(), QObject *parent = nullptr);
    ~TeamWorkspaceStore() override;

    // Every listed profile; the legacy one first.
    const QList<std::shared_ptr<TeamWorkspace>> &teams() const { return m_teams; }
    const QString &selectedManagementTeamID() const { return m_selectedManagementTeamID; }
    // The listed team with the selected id; null when none has it.
    std::shared_ptr<TeamWorkspace> selectedManagementTeam() const;
    // Selects a listed team and stores the choice; an unknown id changes nothing.
    void selectManagementTeam(const QString &id);

    // A new profile, switched on in memory only, neither listed nor stored in the list: the
    // caller edits and saves its settings, then commits or discards it.
    std::shared_ptr<TeamWorkspace> beginAddingTeam();
    // Lists a pending team that holds a membership, selects it, hands it the current projects
    // and usage, and starts it when the workspace has started. A listed id or a team without
    // a membership changes nothing.
    void commitAddedTeam(const std::shared_ptr<TeamWorkspace> &team);
    // Deletes what a pending team stored; a listed team is left alone.
    void discardAddedTeam(const TeamWorkspace &team);
    // Forgets a profile on this computer and closes its connection. The legacy profile is
    // emptied but stays listed.
    void removeTeam(const QString &id);

    bool isStarted() const { return m_isStarted; }
    // Starts every listed team's service that has not started yet; later calls do nothing.
    void start();

    // TeamWorkspaceService
    QSet<QString> teamIDs(const QString &path) const override;
    void updateProjects(const QList<LocalTeamProjectSource> &sources) override;
    void updateTokenUsage(const TokenUsageSnapshot &snapshot) override;
    void refreshProjects(const QSet<QString> &paths, std::function<void()> done) override;
    QList<TeamWorkspaceTeam> enabledTeams() const override;
    QString teamName() const override;
    TeamConnectionState connectionState() const override;
    bool hasTeamMemberships() const override;
    QList<TeamCommitEvent> commitNotifications() const override;
    void dismissCommitNotification(const TeamCommitEvent &event) override;

    // TeamProjectViewSource
    std::optional<TeamProjectSummary> summary(const QString &path) const override;
    std::optional<TeamProjectUsageSummary> usageSummary(const QString &path) const override;
    QStringList teamNames(const QString &path) const override;
    std::optional<SharedProjectState> localActivity(const QString &path) const override;

    // The one state of the enabled teams' states (in team order): `disabled` for none,
    // `connected` when every one is, else `failed`, `reconnecting`, `connecting` in that order
    // of precedence. The teams' own messages are not passed on.
    static TeamConnectionState combinedConnectionState(const QList<TeamConnectionState> &states);
    // Orders team names by the locale, ignoring case; equal names keep their order.
    static void sortTeamNames(QStringList &names);

Q_SIGNALS:
    // The listed teams (a team committed or removed).
    void teamsChanged();
    void selectedManagementTeamIDChanged(const QString &id);
    // A listed team's settings or its service's published values changed, one turn after the
    // team reported it; the screens that show the team follow it.
    void teamChanged(const QString &id);

private:
    std::unique_ptr<TeamSettingsStore> openSettings(const QString &id) const;
    std::shared_ptr<TeamWorkspace> makeTeam(const QString &id,
                                            std::unique_ptr<TeamSettingsStore> settings);
    void loadStoredProfiles();
    qsizetype indexOf(const QString &id) const;
    QList<TeamWorkspace *> enabledWorkspaces() const;
    void setSelectedManagementTeamID(const QString &id);
    void observe(const TeamWorkspace &team);
    TeamWorkspaceAnswers answers() const;
    // Emits the change signal of every answer that differs from the last announced.
    void announceChangedAnswers();
    void persistProfiles();
    static void startService(TeamWorkspace &team);

    KeyValueStore &m_defaults;
    ProjectMetadataCache &m_metadataCache;
    QString m_applicationSupportDirectory;
    TeamClock &m_clock;
    QList<std::shared_ptr<TeamWorkspace>> m_teams;
    QString m_selectedManagementTeamID;
    QList<LocalTeamProjectSource> m_sources;
    TokenUsageSnapshot m_tokenUsageSnapshot;
    QHash<QString, QList<QMetaObject::Connection>> m_teamConnections; // by profile id
    TeamWorkspaceAnswers m_announced;
    bool m_isStarted = false;
};

} // namespace tolvaran
