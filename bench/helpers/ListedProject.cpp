#include "helpers/ListedProject.h"

#include "coordinator/ProjectListViewModel.h"
#include "support/WaitUntil.h"

#include <cstdio>
#include <memory>

namespace tolvaran::fixtures::bench {

std::optional<CodexProject> listedProject(ProjectListViewModel &coordinator,
                                          const QString &path, std::chrono::seconds timeout)
{
    const auto refreshed = std::make_shared<bool>(false);
    coordinator.refresh([refreshed] { *refreshed = true; });
    fixtures::waitUntil([refreshed] { return *refreshed; }, timeout);
    std::optional<CodexProject> project = coordinator.project(path);
    if (!project)
        std::fprintf(stderr, "the project was not listed\n");
    return project;
}

} // namespace tolvaran::fixtures::bench
