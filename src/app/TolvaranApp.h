#pragma once

#include <memory>

namespace tolvaran {

class AppServices;
class ProjectListViewModel;
class TeamWorkspaceScreens;
class TolvaranWindow;

// The application: the composition root, the screen models over it and the window, made once
// per run and kept until the process ends. Constructing it reads no Codex data, opens no
// database, starts no monitor, job or connection; that work starts when the window is first
// shown.
class TolvaranApp final
{
public:
    TolvaranApp();
    // The window goes first, then the screen models (each stops its jobs and waits for
    // them), then the stores they used.
    ~TolvaranApp();
    TolvaranApp(const TolvaranApp &) = delete;
    TolvaranApp &operator=(const TolvaranApp &) = delete;

    AppServices &services() const { return *m_services; }
    ProjectListViewModel &viewModel() const { return *m_viewModel; }
    TolvaranWindow &window() const { return *m_window; }

private:
    // In order of construction; destroyed in reverse, the window first.
    std::unique_ptr<AppServices> m_services;
    std::unique_ptr<ProjectListViewModel> m_viewModel;
    // What the teams dashboard manages: the team workspace, seen as the team screens need it.
    std::unique_ptr<TeamWorkspaceScreens> m_teamScreens;
    std::unique_ptr<TolvaranWindow> m_window;
};

} // namespace tolvaran
