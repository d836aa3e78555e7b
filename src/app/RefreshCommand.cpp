#include "app/RefreshCommand.h"

#include "coordinator/ProjectListViewModel.h"

#include <QPointer>

namespace tolvaran {

void runRefreshCommand(ProjectListViewModel &viewModel)
{
    viewModel.refresh([model = QPointer(&viewModel)] {
        if (model)
            model->refreshAllRepositories();
    });
}

} // namespace tolvaran
