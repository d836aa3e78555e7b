#include "app/cards/BrowserEmptyState.h"

namespace tolvaran {

BrowserEmptyState BrowserEmptyState::decide(const std::optional<QString> &errorMessage,
                                            bool isLoading, bool hasProjects,
                                            bool hasFilteredProjects)
{
    BrowserEmptyState state;
    if (errorMessage && !hasProjects) {
        state.centreText = QStringLiteral("Could not load Codex projects\n") + *errorMessage;
        return state;
    }
    state.statusLineError = errorMessage;
    if (isLoading && !hasProjects)
        state.centreText = QStringLiteral("Loading projects...");
    else if (!hasFilteredProjects)
        state.centreText = QStringLiteral("No projects match the current filters.");
    return state;
}

} // namespace tolvaran
