#include "data/git/ProjectMetadataCache.h"
#include "data/git/ProjectRepositoryStore.h"
#include "platform/storage/KeyValueStore.h"
#include "support/GitRepositoryBuilder.h"
#include "support/team/ManualTeamClock.h"
#include "support/QtPrinters.h"
#include "support/StandInPrograms.h"
#include "support/team/TeamProjectRepositories.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "team/presence/TeamLocalProjects.h"
#include "team/presence/WorkSummaryGenerator.h"
#include "team/presence/WorkSummaryScheduler.h"
#include "team/server/TeamSettingsStore.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace tolvaran;
using tolvaran::fixtures::GitRepositoryBuilder;
using tolvaran::fixtures::teamProjectSource;
using tolvaran::fixtures::waitUntil;

// One team's local projects over real repositories, scanned through a git that holds the scan
// of the project "app" until the test opens its gate, so that the scan can be caught in flight.
class TeamLocalProjectsQueueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        settings.setEnabled(true);
        QObject::connect(&projects, &TeamLocalProjects::statesChanged,
                         [this] { ++statesChanges; });
    }

    void TearDown() override { openGate(); }

    GitRepositoryBuilder makeRepository(const QString &name)
    {
        return fixtures::makeTeamProjectRepository(home.filePath(name), name);
    }

    // Names the projects of `sources` and waits until their placeholders are in.
    void listProjects(const QList<LocalTeamProjectSource> &sources)
    {
        const int before = statesChanges;
        projects.updateProjects(sources);
        ASSERT_TRUE(waitUntil([&] { return statesChanges > before; }));
    }

    bool scanHasStarted() const { return QFile::exists(startedPath); }
    void openGate() const { home.writeFile(QStringLiteral("gate"), "open\n"); }

    fixtures::TemporaryHome home;
    const QString startedPath = home.filePath(QStringLiteral("started"));
    // Only the runs on "app" wait, so that a scan of another project never does.
    const QString gatedGit = fixtures::writeScript(
        home.path(), QStringLiteral("git"),
        QStringLiteral("case \"$*\" in *%1*)\n"
                       "  : > %2\n"
                       "  while [ ! -e %3 ]; do /bin/sleep 0.02; done;;\n"
                       "esac\n"
                       "exec /usr/bin/git \"$@\"\n")
            .arg(fixtures::shellQuoted(home.filePath(QStringLiteral("app"))),
                 fixtures::shellQuoted(startedPath),
                 fixtures::shellQuoted(home.filePath(QStringLiteral("gate")))));
    KeyValueStore defaults{home.filePath(QStringLiteral("defaults.ini"))};
    TeamSettingsStore settings{defaults, QStringLiteral("mine"), false,
                               home.filePath(QStringLiteral("support"))};
    ProjectMetadataCache cache{QString()};
    ProjectRepositoryStore repositoryStore{gatedGit};
    fixtures::ManualTeamClock clock;
    WorkSummaryGenerator generator{home.filePath(QStringLiteral("tmp"))};
    WorkSummaryScheduler workSummaries{generator, defaults, clock};
    TeamLocalProjects projects{settings, repositoryStore, cache, workSummaries};
    int statesChanges = 0;
};

TEST_F(TeamLocalProjectsQueueTest, aResetEndsTheRunningScanAndTheNextRefreshScansAnew)
{
    GitRepositoryBuilder app = makeRepository(QStringLiteral("app"));
    listProjects({teamProjectSource(app, QStringLiteral("app"))});
    const int named = statesChanges;

    bool firstDone = false;
    projects.refreshProjects({app.path()}, [&firstDone] { firstDone = true; });
    ASSERT_TRUE(waitUntil([&] { return scanHasStarted(); }));
    projects.reset();
    openGate();
    ASSERT_TRUE(waitUntil([&] { return firstDone; }, 60s));
    EXPECT_TRUE(cache.teamStates().isEmpty());
    EXPECT_TRUE(projects.states().isEmpty());
    EXPECT_EQ(statesChanges, named);

    bool secondDone = false;
    projects.refreshProjects({app.path()}, [&secondDone] { secondDone = true; });
    ASSERT_TRUE(waitUntil([&] { return secondDone; }, 60s));
    EXPECT_EQ(cache.teamStates().keys(), QStringList{app.path()});
    EXPECT_EQ(projects.states().keys(), QStringList{app.path()});
    EXPECT_EQ(statesChanges, named + 1);
}

TEST_F(TeamLocalProjectsQueueTest, pathsJoinARunningScanAndAProjectChangedMeanwhileIsLeftOut)
{
    GitRepositoryBuilder app = makeRepository(QStringLiteral("app"));
    GitRepositoryBuilder tools = makeRepository(QStringLiteral("tools"));
    QList<LocalTeamProjectSource> sources{teamProjectSource(app, QStringLiteral("app")),
                                          teamProjectSource(tools, QStringLiteral("tools"))};
    listProjects(sources);

    bool firstDone = false;
    projects.refreshProjects({app.path()}, [&firstDone] { firstDone = true; });
    ASSERT_TRUE(waitUntil([&] { return scanHasStarted(); }));
    bool secondDone = false;
    projects.refreshProjects({tools.path()}, [&secondDone] { secondDone = true; });
    EXPECT_TRUE(secondDone);

    // Codex starts on the app while git reads it: what git found is of another source.
    sources[0].isCodexProcessing = true;
    listProjects(sources);
    openGate();
    ASSERT_TRUE(waitUntil([&] { return firstDone; }, 60s));
    EXPECT_EQ(cache.teamStates().keys(), QStringList{tools.path()});
    EXPECT_EQ(projects.states().keys(), QStringList{tools.path()});
}
