// What the team workspace hands every team: the coordinator's projects and its rescans, which
// walk the enabled teams one after the other.
#include "TeamWorkspaceWorld.h"

#include "support/GitRepositoryBuilder.h"
#include "support/QtPrinters.h"

using namespace std::chrono_literals;
using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

const QString appRemote = QStringLiteral("https://example.com/core/app.git");

// Teams holding a key (switched on, not started: nothing connects) and a real repository
// with uncommitted work.
class TeamWorkspaceFanOut : public TeamWorkspaceWorld
{
protected:
    void SetUp() override
    {
        TeamWorkspaceWorld::SetUp();
        repository.emplace(home.filePath(QStringLiteral("app")));
        repository->git({QStringLiteral("remote"), QStringLiteral("add"),
                         QStringLiteral("origin"), appRemote});
        repository->writeFile(QStringLiteral("README.md"), "# app\n");
        repository->commitAll(QStringLiteral("Start"));
        repository->writeFile(QStringLiteral("README.md"), "# app, changed\n");
        source.path = repository->path();
        source.gitOriginURL = appRemote;
        source.canDiscoverGitOrigin = true;
    }

    TeamWorkspaceStore &openWithTeams(int count)
    {
        QStringList ids;
        for (int i = 0; i < count; ++i) {
            ids.append(newProfileID());
            storeProfile(ids.last(), {.key = true});
        }
        storeProfileList(ids);
        return open();
    }

    // Refreshes and waits for the walk's end; the number of times `done` ran.
    int refresh(const QSet<QString> &paths)
    {
        int done = 0;
        workspace->refreshProjects(paths, [&done] { ++done; });
        EXPECT_TRUE(waitUntil([&done] { return done > 0; }, 60s));
        runQueuedWork();
        return done;
    }

    std::optional<GitRepositoryBuilder> repository;
    LocalTeamProjectSource source;
};

TEST_F(TeamWorkspaceFanOut, projectsReachEveryListedTeamAndLaterCommittedOnes)
{
    TeamWorkspaceStore &store = openWithTeams(2);
    store.teams().at(2)->settings().setEnabled(false);
    store.updateProjects({source});
    ASSERT_TRUE(waitUntil([&] {
        for (const auto &team : store.teams()) {
            if (!team->service().repositoryInventoryByPath().contains(source.path))
                return false;
        }
        return true;
    })) << "the legacy team and the switched-off one included";

    const std::shared_ptr<TeamWorkspace> added = store.beginAddingTeam();
    store.commitAddedTeam(added);
    EXPECT_TRUE(waitUntil(
        [&] { return added->service().repositoryInventoryByPath().contains(source.path); }));
}

TEST_F(TeamWorkspaceFanOut, refreshScansInTheEnabledTeamsAndEndsOnce)
{
    TeamWorkspaceStore &store = openWithTeams(2);
    store.teams().at(1)->settings().setEnabled(false);
    store.updateProjects({source});
    EXPECT_EQ(refresh({source.path}), 1);
    const auto states = cache.teamStates();
    ASSERT_TRUE(states.contains(source.path));
    EXPECT_TRUE(states.value(source.path).shared.isDirty);
    ASSERT_TRUE(store.localActivity(source.path).has_value());
    EXPECT_EQ(store.localActivity(source.path)->changedFiles,
              QStringList{QStringLiteral("README.md")});

    // Paths the teams do not know, and no team switched on: it still ends, once.
    EXPECT_EQ(refresh({home.filePath(QStringLiteral("elsewhere"))}), 1);
    for (const auto &team : store.teams())
        team->settings().setEnabled(false);
    EXPECT_EQ(refresh({source.path}), 1);
}

TEST_F(TeamWorkspaceFanOut, aTeamRemovedDuringItsScanDoesNotStopTheRefresh)
{
    TeamWorkspaceStore &store = openWithTeams(2);
    store.updateProjects({source});
    const QString removed = store.teams().at(1)->id();
    int done = 0;
    store.refreshProjects({source.path}, [&done] { ++done; });
    // The legacy team is switched off: the first listed team's scan is under way. Nothing
    // else holds the team, so its service goes with its scan.
    store.removeTeam(removed);
    ASSERT_TRUE(waitUntil([&done] { return done > 0; }, 60s));
    runQueuedWork();
    EXPECT_EQ(done, 1);
}

} // namespace
