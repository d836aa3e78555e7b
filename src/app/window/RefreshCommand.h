#pragma once

namespace tolvaran {

class AppUpdateService;
class ProjectListViewModel;

// What the "Refresh" command and the browser's refresh button do: a full refresh, and once it
// has ended, a git-status refresh of every project folder that still exists and an update
// check (when there is an updater).
void runRefreshCommand(ProjectListViewModel &viewModel, AppUpdateService *updater);

} // namespace tolvaran
