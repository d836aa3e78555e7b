#pragma once

#include "team_interface/TeamWorkspaceService.h"
#include "data/token_usage/TokenUsageSnapshot.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace tolvaran::fixtures {

// A team workspace for tests: teams share the paths the test gives it, and every hand-over
// and rescan is recorded. Rescans finish at once, like a workspace without enabled teams.
// The teams, connection state and commit notifications are the public fields below; tests
// that change them emit the change signals themselves.
class RecordingTeamWorkspace final : public TeamWorkspaceService
{
    Q_OBJECT

public:
    using TeamWorkspaceService::TeamWorkspaceService;

    // The teams that share `path` from now on (emits no change: tests emit
    // sharedProjectsChanged() themselves).
    void setTeamIDs(const QString &path, const QSet<QString> &teamIDs);

    QSet<QString> teamIDs(const QString &path) const override;
    void updateProjects(const QList<LocalTeamProjectSource> &sources) override;
    void updateTokenUsage(const TokenUsageSnapshot &snapshot) override;
    void refreshProjects(const QSet<QString> &paths, std::function<void()> done) override;
    QList<TeamWorkspaceTeam> enabledTeams() const override { return teams; }
    QString teamName() const override { return name; }
    TeamConnectionState connectionState() const override { return state; }
    bool hasTeamMemberships() const override { return memberships; }
    QList<TeamCommitEvent> commitNotifications() const override { return commits; }
    // Removes the event and announces the change.
    void dismissCommitNotification(const TeamCommitEvent &event) override;

    QList<TeamWorkspaceTeam> teams;
    QString name = QStringLiteral("Teams");
    TeamConnectionState state;
    bool memberships = false;
    QList<TeamCommitEvent> commits;

    QList<QList<LocalTeamProjectSource>> projectUpdates;
    QList<TokenUsageSnapshot> tokenUsageUpdates;
    QList<QSet<QString>> rescans;
    // Called at each rescan, before it finishes.
    std::function<void(const QSet<QString> &paths)> onRescan;

private:
    QHash<QString, QSet<QString>> m_teamIDs;
};

} // namespace tolvaran::fixtures
