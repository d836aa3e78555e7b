#pragma once

#include "coordinator/ProjectListViewModel.h"
#include "data/git/ProjectMetadataCache.h"
#include "platform/storage/KeyValueStore.h"
#include "support/codex/FakeCodexHome.h"
#include "support/team/RecordingTeamWorkspace.h"
#include "support/StoreSet.h"
#include "support/TemporaryHome.h"

#include <memory>

namespace tolvaran::fixtures {

// A whole world for the coordinator: a fake Codex folder, project folders, the program's own
// folder and user defaults, all in one temporary home, and the coordinator over them.
class CoordinatorWorld final
{
public:
    CoordinatorWorld();
    ~CoordinatorWorld();

    // A folder below the home's "projects" folder, created when missing.
    QString projectFolder(const QString &name) const;

    // Adds a thread in `cwd` that Codex last updated `ageSeconds` ago, with a rollout file
    // whose one turn ended as `end`. The database is written by writeDatabase().
    QString addThread(const QString &id, const QString &cwd, double ageSeconds,
                      FakeTurnEnd end = FakeTurnEnd::completed, qint64 tokens = 0);
    QString addThread(const FakeCodexThread &thread, FakeTurnEnd end = FakeTurnEnd::completed);
    // A thread as addThread() writes it, for tests that set more of its fields.
    static FakeCodexThread threadFor(const QString &id, const QString &cwd, double ageSeconds);
    void writeDatabase(FakeCodexLogState state = FakeCodexLogState::checkpointed);

    // Makes the metadata cache (reading what the test left in the program's folder) and the
    // coordinator; `gitExecutable` empty for the real git, `actionServices` doubles of the
    // desktop for the tests of its actions.
    ProjectListViewModel &makeModel(
        const QString &gitExecutable = {},
        ProjectActionServices actionServices = ProjectActionServices::system());

    // Runs the operation and the event loop until it completes; false when it never does.
    bool refresh();
    bool refreshProcessingStatus();
    bool startMonitoring();

    // How many full refreshes have finished since the model was made.
    int fullRefreshCount() const { return m_fullRefreshCount; }

    const CodexProject *projectAt(const QString &path) const;
    bool isProcessing(const QString &path) const;

    TemporaryHome home;
    FakeCodexHome codex;
    const QString supportDirectory;
    KeyValueStore defaults;
    RecordingTeamWorkspace team;
    std::unique_ptr<ProjectMetadataCache> metadataCache;
    std::unique_ptr<StoreSet> stores;
    std::unique_ptr<ProjectListViewModel> model;

private:
    int m_fullRefreshCount = 0;
    std::optional<Timestamp> m_lastRefreshedAt;
};

} // namespace tolvaran::fixtures
