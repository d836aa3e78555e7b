#pragma once

namespace tolvaran {

class ProjectListViewModel;

// What the "Refresh" command and the browser's refresh button do: a full refresh, and once it
// has ended, a git-status refresh of every project folder that still exists.
void runRefreshCommand(ProjectListViewModel &viewModel);

} // namespace tolvaran
