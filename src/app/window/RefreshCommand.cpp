#include "app/window/RefreshCommand.h"

#include "coordinator/ProjectListViewModel.h"
#include "update/AppUpdateService.h"

#include <QPointer>

namespace tolvaran {

void runRefreshCommand(ProjectListViewModel &viewModel, AppUpdateService *updater)
{
    viewModel.refresh([model = QPointer(&viewModel), updater = QPointer(updater)] {
        if (!model)
            return;
        model->refreshAllRepositories();
        if (updater)
            updater->checkForUpdates();
    });
}

} // namespace tolvaran
