#include "app/cards/BrowserCardModel.h"

#include <QHashFunctions>

namespace tolvaran {

namespace {

template <typename T>
size_t hashOptional(const std::optional<T> &value, size_t seed)
{
    return value ? qHashMulti(seed, true, *value) : ::qHash(false, seed);
}

// Equal doubles must hash alike, and 0.0 equals -0.0.
size_t hashDouble(double value, size_t seed)
{
    return ::qHash(value == 0.0 ? 0.0 : value, seed);
}

size_t hashSnapshot(const ProjectCardSnapshot &project, size_t seed)
{
    seed = qHashMulti(seed, project.id, project.path, project.name, project.lastUpdated,
                      project.threadCount, project.isPinned, project.notificationCount);
    seed = hashOptional(project.displayBranch, seed);
    seed = hashOptional(project.latestThreadID, seed);
    seed = hashOptional(project.latestUnreadThreadID, seed);
    seed = qHashMulti(seed, project.unreadThreadIDs);
    seed = hashOptional(project.latestProcessingThreadID, seed);
    return qHashMulti(seed, project.processingCount);
}

} // namespace

size_t qHash(const BrowserCardModel &model, size_t seed) noexcept
{
    seed = hashSnapshot(model.project, seed);
    seed = hashOptional(model.gitStatus, seed);
    seed = hashOptional(model.teamSummary, seed);
    seed = hashOptional(model.localActivity, seed);
    seed = qHashMulti(seed, model.teamNames, model.assignedTags, model.availableTags,
                      model.weeklyTokens);
    seed = hashDouble(model.weeklyShare, seed);
    return qHashMulti(seed, model.canRename, model.isSelected);
}

} // namespace tolvaran
