#pragma once

#include <memory>

namespace tolvaran {

class KeyValueStore;
class NullTeamWorkspace;
class ProjectListViewModel;
class ProjectMetadataCache;
class ProjectRepositoryStore;
class TolvaranWindow;

// The application: the long-lived model objects and the window, made once per run and kept
// until the process ends. Constructing it reads no Codex data, opens no database, starts no
// monitor, job or connection; that work starts when the window is first shown.
class TolvaranApp final
{
public:
    TolvaranApp();
    ~TolvaranApp();
    TolvaranApp(const TolvaranApp &) = delete;
    TolvaranApp &operator=(const TolvaranApp &) = delete;

    ProjectListViewModel &viewModel() const { return *m_viewModel; }
    TolvaranWindow &window() const { return *m_window; }

private:
    // In order of construction; destroyed in reverse, the window first.
    std::unique_ptr<KeyValueStore> m_defaults;
    std::unique_ptr<ProjectMetadataCache> m_metadataCache;
    std::unique_ptr<NullTeamWorkspace> m_teamWorkspace;
    // The detail panes' own: commits and Markdown files.
    std::unique_ptr<ProjectRepositoryStore> m_detailRepositoryStore;
    std::unique_ptr<ProjectListViewModel> m_viewModel;
    std::unique_ptr<TolvaranWindow> m_window;
};

} // namespace tolvaran
