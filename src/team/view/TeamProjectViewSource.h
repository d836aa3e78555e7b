#pragma once

#include "data/git/SharedProjectState.h"
#include "team/view/TeamProjectSummary.h"
#include "team/view/TeamProjectUsageSummary.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tolvaran {

// What the browser's cards and the detail pane read of the team workspace, per local project
// path: the teammates on the same repository, the enabled teams that share the project, and
// what this device currently shares for it. The team workspace implements it; a browser
// without one shows no team values. Reads memory only, on the GUI thread, and cannot fail.
class TeamProjectViewSource
{
public:
    virtual ~TeamProjectViewSource() = default;

    // The peers of every enabled team's summary for `path`, joined in team order; none when
    // no enabled team has one.
    virtual std::optional<TeamProjectSummary> summary(const QString &path) const = 0;
    // The members of every enabled team's usage summary for `path`, joined in team order;
    // none when no enabled team has one.
    virtual std::optional<TeamProjectUsageSummary> usageSummary(const QString &path) const = 0;
    // The sorted names of the enabled teams that share the project.
    virtual QStringList teamNames(const QString &path) const = 0;
    // The first enabled team's published state for `path` that is dirty or has Codex at work;
    // none when no team has such a state.
    virtual std::optional<SharedProjectState> localActivity(const QString &path) const = 0;
};

} // namespace tolvaran
