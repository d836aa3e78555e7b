#pragma once

#include "coordinator/ProjectListViewModel.h"
#include "data/git/ProjectMetadataCache.h"
#include "platform/storage/KeyValueStore.h"
#include "support/codex/FakeCodexHome.h"
#include "support/codex/FakeCodexLauncher.h"
#include "support/FakeDesktopServices.h"
#include "support/FakeFolderPicker.h"
#include "support/team/RecordingTeamWorkspace.h"
#include "support/StoreSet.h"
#include "support/TemporaryHome.h"

#include <memory>

namespace tolvaran::fixtures {

// A coordinator over a fake Codex folder in a temporary home, for the window's tests.
class BrowserWorld final
{
public:
    BrowserWorld();
    ~BrowserWorld();

    // Adds a project folder with `chats` threads; the first is processing when asked.
    QString addProject(const QString &name, int chats, bool processing = false);
    // The same for the folder at `path`, which need not exist: the card then shows a path of
    // the test's choice, the same whatever the temporary folder is called.
    void addProjectAt(const QString &path, int chats, bool processing = false);
    // Writes the database and makes the coordinator; `sidebarVisible` is the saved setting.
    // Its actions reach the recording desktop and Codex launcher below, never the real ones.
    ProjectListViewModel &makeModel(bool sidebarVisible = false);
    // Runs a full refresh and the event loop until it ends.
    bool refresh();

    TemporaryHome home;
    FakeCodexHome codex;
    KeyValueStore defaults;
    // Without teams until a test gives it some.
    RecordingTeamWorkspace team;
    FakeFolderPicker folderPicker;
    std::unique_ptr<ProjectMetadataCache> metadataCache;
    std::unique_ptr<StoreSet> stores;
    // Owned by the coordinator; set by makeModel().
    FakeDesktopServices *desktop = nullptr;
    FakeCodexLauncher *codexLauncher = nullptr;
    std::unique_ptr<ProjectListViewModel> model;

private:
    int m_serial = 0;
};

} // namespace tolvaran::fixtures
