#pragma once

#include "data/catalog/CodexProject.h"

#include <QString>

#include <chrono>
#include <optional>

namespace tolvaran {
class ProjectListViewModel;
}

namespace tolvaran::fixtures::bench {

// Refreshes the coordinator and returns its project at `path`: none, with a line on stderr,
// when the refresh did not list it within `timeout`.
std::optional<CodexProject> listedProject(ProjectListViewModel &coordinator,
                                          const QString &path, std::chrono::seconds timeout);

} // namespace tolvaran::fixtures::bench
