#pragma once

#include "data/TeamWorkspaceService.h"
#include "data/TokenUsageSnapshot.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace tolvaran::fixtures {

// A team workspace for tests: teams share the paths the test gives it, and every hand-over
// and rescan is recorded. Rescans finish at once, like a workspace without enabled teams.
class RecordingTeamWorkspace final : public TeamWorkspaceService
{
    Q_OBJECT

public:
    using TeamWorkspaceService::TeamWorkspaceService;

    // The teams that share `path` from now on (emits no change; tests do that themselves).
    void setTeamIDs(const QString &path, const QSet<QString> &teamIDs);

    QSet<QString> teamIDs(const QString &path) const override;
    void updateProjects(const QList<LocalTeamProjectSource> &sources) override;
    void updateTokenUsage(const TokenUsageSnapshot &snapshot) override;
    void refreshProjects(const QSet<QString> &paths, std::function<void()> done) override;

    QList<QList<LocalTeamProjectSource>> projectUpdates;
    QList<TokenUsageSnapshot> tokenUsageUpdates;
    QList<QSet<QString>> rescans;
    // Called at each rescan, before it finishes.
    std::function<void(const QSet<QString> &paths)> onRescan;

private:
    QHash<QString, QSet<QString>> m_teamIDs;
};

} // namespace tolvaran::fixtures
