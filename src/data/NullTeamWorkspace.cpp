#include "data/NullTeamWorkspace.h"

namespace tolvaran {

QSet<QString> NullTeamWorkspace::teamIDs(const QString &) const
{
    return {};
}

void NullTeamWorkspace::updateProjects(const QList<LocalTeamProjectSource> &) {}

void NullTeamWorkspace::updateTokenUsage(const TokenUsageSnapshot &) {}

void NullTeamWorkspace::refreshProjects(const QSet<QString> &, std::function<void()> done)
{
    if (done)
        done();
}

} // namespace tolvaran
