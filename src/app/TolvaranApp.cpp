#include "app/TolvaranApp.h"

#include "app/AppServices.h"
#include "app/window/ContentView.h"
#include "app/TolvaranWindow.h"
#include "coordinator/ProjectListViewModel.h"
#include "team/TeamWorkspaceStore.h"
#include "team_screens/TeamWorkspaceScreens.h"

namespace tolvaran {

TolvaranApp::TolvaranApp()
    : m_services(std::make_unique<AppServices>())
    , m_viewModel(std::make_unique<ProjectListViewModel>(m_services->projectListStores()))
    , m_teamScreens(std::make_unique<TeamWorkspaceScreens>(m_services->teamWorkspaceStore()))
    , m_window(std::make_unique<TolvaranWindow>(
          *m_viewModel, m_services->teamWorkspace(),
          [model = m_viewModel.get(), services = m_services.get()](const CodexProject &project) {
              auto detail = std::make_unique<ProjectDetailViewModel>(
                  project, *model,
                  ProjectDetailViewModel::repositoryLoader(services->repositoryStore()));
              detail->followTeam(services->teamViewSource(), services->teamWorkspace());
              return detail;
          }))
{
    // The browsers' one source of team values, from the start.
    m_window->contentView()->setTeamViewSource(&m_services->teamViewSource());
    m_window->setUpdater(&m_services->updater());
    m_window->contentView()->setTeamStart(
        [store = &m_services->teamWorkspaceStore()] { store->start(); });
    m_window->contentView()->setTeamScreens(m_teamScreens.get());
}

TolvaranApp::~TolvaranApp() = default;

} // namespace tolvaran
