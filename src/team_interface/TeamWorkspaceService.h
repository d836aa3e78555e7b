#pragma once

#include "data/git/LocalTeamProjectSource.h"
#include "team_interface/TeamCommitEvent.h"
#include "team_interface/TeamConnectionState.h"
#include "team_interface/TeamWorkspaceTeam.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

namespace tolvaran {

struct TokenUsageSnapshot;

// What the project list coordinator needs of the team workspace (which teams share a project,
// and where to hand the local projects, their token usage and rescans) and what the browser's
// team controls show of it (the enabled teams, their combined connection, teammates'
// commits). The team subsystem implements it; the benchmarks, which run without teams, use
// the NullTeamWorkspace of bench/helpers/, and the tests doubles of their own. This is one of
// the few interfaces of the program: the coordinator and the browser must build and be tested
// before (and without) the team service.
//
// Everything runs on the GUI thread.
class TeamWorkspaceService : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~TeamWorkspaceService() override = default;

    // The ids of the enabled teams that currently share the project at `path` (exact string
    // equality); empty when no enabled team shares it. Reads memory only and cannot fail.
    virtual QSet<QString> teamIDs(const QString &path) const = 0;

    // Hands over the coordinator's current projects. Returns without waiting.
    virtual void updateProjects(const QList<LocalTeamProjectSource> &sources) = 0;

    // Hands over the latest token-usage snapshot (also one equal to the previous).
    virtual void updateTokenUsage(const TokenUsageSnapshot &snapshot) = 0;

    // Rescans the team state of the projects at `paths` in every enabled team, then calls
    // `done` on the GUI thread (at once when no team is enabled). `done` may run after the
    // caller is gone, so callers guard what it touches.
    virtual void refreshProjects(const QSet<QString> &paths, std::function<void()> done) = 0;

    // The enabled teams, in workspace order.
    virtual QList<TeamWorkspaceTeam> enabledTeams() const = 0;
    // "Teams" when no team is enabled, the team's name when one is, else "<n> teams".
    virtual QString teamName() const = 0;
    // One state for all enabled teams; `disabled` when none is enabled.
    virtual TeamConnectionState connectionState() const = 0;
    // Whether any team profile holds a membership (enabled or not).
    virtual bool hasTeamMemberships() const = 0;
    // The enabled teams' teammate commits not yet dismissed, newest received first.
    virtual QList<TeamCommitEvent> commitNotifications() const = 0;
    // Removes `event` from the notifications of the team that holds it.
    virtual void dismissCommitNotification(const TeamCommitEvent &event) = 0;

Q_SIGNALS:
    // Each is emitted once its new answer is readable, and only when that answer differs from
    // the one before; a change that alters none of them emits none.

    // enabledTeams(): a team switched on or off, added, removed or renamed.
    void enabledTeamsChanged();
    void teamNameChanged(const QString &name);
    void connectionStateChanged(const tolvaran::TeamConnectionState &state);
    void hasTeamMembershipsChanged(bool hasMemberships);
    void commitNotificationsChanged();
    // Which enabled teams share some project: teamIDs(path) and the team names that the
    // implementation's per-project readers give for it.
    void sharedProjectsChanged();
    // The teammates on some project, their token usage on it, and what this device shares
    // of it, as the implementation's per-project readers answer them.
    void projectSummariesChanged();
    void usageSummariesChanged();
    void localActivityChanged();
};

} // namespace tolvaran
