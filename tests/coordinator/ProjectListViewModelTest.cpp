#include "CoordinatorWorld.h"

#include "data/catalog/ProjectCatalogStore.h"
#include "data/git/ProjectMetadataCacheSnapshot.h"
#include "data/catalog/ProjectTagSnapshot.h"
#include "data/catalog/ProjectTagStore.h"
#include "team_interface/TeamWorkspaceTeam.h"
#include "data/token_usage/TokenUsageStore.h"
#include "platform/Paths.h"
#include "platform/storage/SqliteDatabase.h"
#include "support/GitDouble.h"
#include "support/QtPrinters.h"
#include "support/codex/RolloutLines.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <memory>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

QStringList paths(const QList<CodexProject> &projects)
{
    QStringList result;
    for (const CodexProject &project : projects)
        result.append(project.path());
    return result;
}

QStringList paths(const QList<ProjectCardSnapshot> &cards)
{
    QStringList result;
    for (const ProjectCardSnapshot &card : cards)
        result.append(card.path);
    return result;
}

QString threadID(int number)
{
    return QStringLiteral("019a0000-0000-7000-8000-%1").arg(number, 12, 10, QLatin1Char('0'));
}

// What the metadata cache file holds at start, written as the cache itself writes it.
void writeMetadataCache(const QString &directory, const ProjectMetadataCacheSnapshot &snapshot)
{
    QDir().mkpath(directory);
    QFile file(directory + QLatin1Char('/') + QLatin1String(ProjectMetadataCache::fileName));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(snapshot.toJson()).toJson(QJsonDocument::Compact));
}

ProjectGitStatus gitStatus(const QString &branch, Timestamp checkedAt)
{
    ProjectGitStatus status;
    status.isRepository = true;
    status.branch = branch;
    status.checkedAt = checkedAt;
    return status;
}

// Counts the assignments of a published list by the identity of its storage: an assignment of
// a new list, even an equal one, replaces it.
class ListPublications final
{
public:
    ListPublications(ProjectListViewModel &model,
                     const QList<ProjectCardSnapshot> &(ProjectListViewModel::*list)() const)
        : m_last((model.*list)().constData())
    {
        QObject::connect(&model, &ProjectListViewModel::objectWillChange, &m_context,
                         [this, &model, list] {
                             const ProjectCardSnapshot *data = (model.*list)().constData();
                             if (data != m_last) {
                                 m_last = data;
                                 ++count;
                             }
                         });
    }

    int count = 0;

private:
    const ProjectCardSnapshot *m_last;
    QObject m_context; // ends the connection with this object
};

} // namespace

TEST(ProjectListViewModel, freshCoordinatorShowsTheSavedTagsAndGitStatusesAndNothingElse)
{
    CoordinatorWorld world;
    ProjectTagSnapshot tags;
    const ProjectTag tag{QUuid::createUuid(), QStringLiteral("Clients")};
    tags.tags = {tag};
    tags.projectTagIDsByPath = {{QStringLiteral("/w/app"), {tag.id}}};
    ProjectTagStore(world.defaults).save(tags);
    ProjectMetadataCacheSnapshot cache = ProjectMetadataCacheSnapshot::empty();
    cache.gitStatuses.insert(QStringLiteral("/w/app"),
                             gitStatus(QStringLiteral("main"), Timestamp::fromSeconds(1.7e9)));
    writeMetadataCache(world.supportDirectory, cache);

    ProjectListViewModel &model = world.makeModel();

    EXPECT_EQ(model.tags(), tags.tags);
    EXPECT_EQ(model.projectTagIDsByPath(), tags.projectTagIDsByPath);
    EXPECT_FALSE(model.isTagSidebarVisible());
    EXPECT_EQ(model.projectGitStatuses(), cache.gitStatuses);
    EXPECT_TRUE(model.projects().isEmpty());
    EXPECT_TRUE(model.filteredProjects().isEmpty());
    EXPECT_TRUE(model.pagedProjects().isEmpty());
    EXPECT_EQ(model.currentPage(), 1);
    EXPECT_EQ(model.totalPages(), 1);
    EXPECT_EQ(model.paginationSummary(), QStringLiteral("0 projects"));
    EXPECT_EQ(model.threadTotal(), 0);
    EXPECT_EQ(model.processingProjectCount() + model.pinnedProjectCount()
                  + model.notificationProjectCount(),
              0);
    EXPECT_EQ(model.globalTokenUsage(), TokenUsageSnapshot::empty().global);
    EXPECT_EQ(model.tokenUsage(QStringLiteral("/w/app")), TokenUsageReport::empty());
    EXPECT_FALSE(model.isMonitoring());

    model.setSelectedTagID(tag.id);
    EXPECT_EQ(model.selectedTagName(), QStringLiteral("Clients"));
    model.setSelectedTagID(QUuid::createUuid());
    EXPECT_EQ(model.selectedTagName(), std::nullopt);
}

TEST(ProjectListViewModel, fullRefreshBuildsProjectsFromCodexAndTheCatalog)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    const QString site = world.projectFolder(QStringLiteral("site"));
    const QString old = world.projectFolder(QStringLiteral("old"));
    const QString saved = world.projectFolder(QStringLiteral("saved"));
    // One folder written with and without a trailing slash is one project.
    world.addThread(threadID(1), app, 100, FakeTurnEnd::running, 500);
    world.addThread(threadID(2), app + QLatin1Char('/'), 3000, FakeTurnEnd::completed, 700);
    FakeCodexThread siteThread = CoordinatorWorld::threadFor(threadID(3), site, 2000);
    siteThread.gitOriginURL = QStringLiteral("git@example.com:team/site.git");
    siteThread.gitBranch = QStringLiteral("main");
    world.addThread(siteThread);
    FakeCodexThread archived = CoordinatorWorld::threadFor(threadID(4), old, 50);
    archived.archived = true;
    world.addThread(archived);
    world.writeDatabase();
    world.codex.writeGlobalState(FakeCodexHome::globalStateObject(
        {QStringLiteral("project-site")}, {threadID(3)},
        {{QStringLiteral("project-site"), {site}, QStringLiteral("Website")}}));
    ProjectCatalogStore(world.supportDirectory)
        .rememberProject(saved, QStringLiteral("saved"), Timestamp::now().addingSeconds(-2500));

    ProjectListViewModel &model = world.makeModel();
    QList<bool> loading;
    QObject::connect(&model, &ProjectListViewModel::objectWillChange, &model, [&] {
        if (loading.isEmpty() || loading.constLast() != model.isLoading())
            loading.append(model.isLoading());
    });
    ASSERT_TRUE(world.refresh());

    EXPECT_EQ(paths(model.projects()), (QStringList{app, site, saved}));
    EXPECT_EQ(loading, (QList<bool>{true, false}));
    const CodexProject &appProject = model.projects().at(0);
    EXPECT_EQ(appProject.threadCount(), 2);
    EXPECT_EQ(appProject.processingThreadIDs(), QSet<QString>{threadID(1)});
    EXPECT_EQ(model.threadTotal(), 3);
    EXPECT_EQ(model.processingProjectCount(), 1);
    const CodexProject &siteProject = model.projects().at(1);
    EXPECT_EQ(siteProject.name(), QStringLiteral("Website"));
    EXPECT_EQ(siteProject.codexProjectID(), QStringLiteral("project-site"));
    EXPECT_TRUE(siteProject.isPinned());
    EXPECT_EQ(siteProject.notificationCount(), 1);
    EXPECT_EQ(model.selectedProjectID(), app);
    EXPECT_EQ(model.errorMessage(), std::nullopt);
    EXPECT_EQ(model.statusMessage(), std::nullopt);
    EXPECT_TRUE(model.lastRefreshedAt().has_value());
    // Before the first index pass has finished, the lifetime figure is Codex's own sum.
    if (model.tokenUsageSnapshot().indexedAt.isDistantPast()) {
        EXPECT_EQ(model.globalTokenUsage().lifetimeTokens, 1200);
    }

    ASSERT_TRUE(waitUntil([&] { return !world.team.projectUpdates.isEmpty(); }));
    const QList<LocalTeamProjectSource> sources = world.team.projectUpdates.constLast();
    ASSERT_EQ(sources.size(), 3);
    EXPECT_TRUE(sources.at(0).isCodexProcessing);
    EXPECT_TRUE(sources.at(0).canDiscoverGitOrigin);
    EXPECT_EQ(sources.at(0).latestUserRequest, QStringLiteral("Work on ") + threadID(1));
    EXPECT_EQ(sources.at(1).gitOriginURL, siteThread.gitOriginURL);
    EXPECT_TRUE(sources.at(1).canDiscoverGitOrigin);
    EXPECT_FALSE(sources.at(2).canDiscoverGitOrigin);
    EXPECT_EQ(sources.at(2).recencyAt, model.projects().at(2).lastUpdated());
}

TEST(ProjectListViewModel, codexDataUnavailable)
{
    struct Row
    {
        const char *name;
        bool catalogHasProjects;
    };
    for (const Row &row : {Row{"with a saved catalog", true}, Row{"with nothing saved", false}}) {
        SCOPED_TRACE(row.name);
        CoordinatorWorld world;
        const QString app = world.projectFolder(QStringLiteral("app"));
        world.addThread(threadID(1), app, 100);
        world.writeDatabase();
        ProjectListViewModel &model = world.makeModel();
        if (row.catalogHasProjects) {
            ASSERT_TRUE(world.refresh());
            ASSERT_EQ(paths(model.projects()), QStringList{app});
        }
        const std::optional<Timestamp> refreshedBefore = model.lastRefreshedAt();
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(world.codex.databasePath() + QLatin1String(suffix));

        ASSERT_TRUE(world.refresh());

        EXPECT_FALSE(model.isLoading());
        if (row.catalogHasProjects) {
            EXPECT_EQ(paths(model.projects()), QStringList{app});
            EXPECT_EQ(model.statusMessage(), ProjectListViewModel::codexUnavailableMessage);
            EXPECT_EQ(model.errorMessage(), std::nullopt);
            EXPECT_NE(model.lastRefreshedAt(), refreshedBefore);
        } else {
            EXPECT_TRUE(model.projects().isEmpty());
            EXPECT_EQ(model.errorMessage(),
                      QStringLiteral("Codex database was not found at ")
                          + world.codex.databasePath() + QLatin1Char('.'));
            EXPECT_EQ(model.statusMessage(), std::nullopt);
            EXPECT_EQ(model.lastRefreshedAt(), std::nullopt);
        }
    }
}

// Puts a folder where one of the program's databases belongs: every open of it fails. A pass
// that is running may create the file again right after it is removed, so this tries until the
// folder stands.
void breakDatabase(const QString &path)
{
    ASSERT_TRUE(waitUntil([&] {
        QFile::remove(path);
        return QDir().mkpath(path + QStringLiteral("/blocked"));
    }));
}

TEST(ProjectListViewModel, failuresOfTheCatalogAndTheTokenIndexAreShownInTheStatus)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    world.addThread(threadID(1), app, 100);
    world.writeDatabase();
    ProjectListViewModel &model = world.makeModel();
    ASSERT_TRUE(world.refresh());
    ASSERT_EQ(paths(model.projects()), QStringList{app});
    const QString catalog = world.supportDirectory + QLatin1Char('/')
        + QLatin1String(ProjectCatalogStore::databaseFileName);
    const QString tokenIndex =
        world.supportDirectory + QLatin1Char('/') + TokenUsageStore::databaseFileName();

    // The catalog cannot be brought up to date: Codex's projects are shown all the same.
    breakDatabase(catalog);
    ASSERT_TRUE(world.refresh());
    EXPECT_EQ(paths(model.projects()), QStringList{app});
    ASSERT_TRUE(model.statusMessage());
    EXPECT_TRUE(model.statusMessage()->startsWith(ProjectListViewModel::catalogNotUpdatedPrefix))
        << model.statusMessage()->toStdString();

    // Codex's data is gone too, and the catalog has nothing to show: the list stays.
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(world.codex.databasePath() + QLatin1String(suffix));
    ASSERT_TRUE(world.refresh());
    EXPECT_EQ(paths(model.projects()), QStringList{app});
    EXPECT_EQ(model.statusMessage(),
              ProjectListViewModel::refreshFailedPrefix
                  + QStringLiteral("Codex database was not found at ")
                  + world.codex.databasePath() + QLatin1Char('.'));
    EXPECT_EQ(model.errorMessage(), std::nullopt);

    // The token index cannot be opened: its sentence is the status, and indexing ends.
    world.writeDatabase();
    QDir(catalog).removeRecursively();
    ASSERT_TRUE(world.refresh());
    ASSERT_TRUE(waitUntil([&] { return !model.isIndexingTokenUsage(); }));
    breakDatabase(tokenIndex);
    model.setStatusMessage(std::nullopt);
    ASSERT_TRUE(world.refresh());
    ASSERT_TRUE(waitUntil([&] { return model.statusMessage().has_value(); }));
    // Opening fails, or a write when a pass that was running had opened it before.
    EXPECT_TRUE(model.statusMessage()->endsWith(QStringLiteral(" the token usage index.")))
        << model.statusMessage()->toStdString();
    EXPECT_FALSE(model.isIndexingTokenUsage());
}

TEST(ProjectListViewModel, refreshAskedForWhileOneRunsRunsOnceMoreAfterIt)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    world.addThread(threadID(1), app, 100);
    world.writeDatabase();
    ProjectListViewModel &model = world.makeModel();

    QStringList finished;
    model.refresh([&] { finished.append(QStringLiteral("first")); });
    // Codex adds a chat while the first refresh reads.
    const QString site = world.projectFolder(QStringLiteral("site"));
    world.addThread(threadID(2), site, 10);
    world.writeDatabase();
    model.refresh([&] { finished.append(QStringLiteral("second")); });
    model.refresh([&] { finished.append(QStringLiteral("third")); });

    ASSERT_TRUE(waitUntil([&] { return finished.size() == 3; }));
    EXPECT_EQ(finished, (QStringList{"first", "second", "third"}));
    EXPECT_EQ(paths(model.projects()), (QStringList{site, app}));
    // The two calls made while the first ran share one more run. (The first may have read
    // the database while it was being rewritten and failed, finishing no refresh.)
    EXPECT_LE(world.fullRefreshCount(), 2);
}

// While Codex works, full refreshes follow each other every few seconds and find little
// changed: a project whose threads are as shown stays the project shown, its threads not
// copied again, so the refreshes do not each leave a copy of the history behind.
TEST(ProjectListViewModel, aRefreshKeepsTheProjectsThatDidNotChange)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    const QString site = world.projectFolder(QStringLiteral("site"));
    world.addThread(threadID(1), app, 100);
    world.addThread(threadID(2), app, 200);
    world.addThread(threadID(3), site, 300);
    world.writeDatabase();
    ProjectListViewModel &model = world.makeModel();
    ASSERT_TRUE(world.refresh());
    ASSERT_EQ(paths(model.projects()), (QStringList{app, site}));
    const CodexThread *appThreads = model.projects()[0].threads().constData();
    const CodexThread *siteThreads = model.projects()[1].threads().constData();

    ASSERT_TRUE(world.refresh());
    EXPECT_EQ(model.projects()[0].threads().constData(), appThreads);
    EXPECT_EQ(model.projects()[1].threads().constData(), siteThreads);

    {
        SqliteDatabase codex(world.codex.databasePath(), SQLITE_OPEN_READWRITE);
        codex.execute(QStringLiteral("UPDATE threads SET title = 'Renamed' WHERE id = '")
                      + threadID(3) + QLatin1Char('\''));
    }
    ASSERT_TRUE(world.refresh());
    EXPECT_EQ(model.projects()[0].threads().constData(), appThreads);
    EXPECT_EQ(model.projects()[1].threads().constFirst().title, QStringLiteral("Renamed"));
}

// With a long history, bringing the catalog up to date takes longer than the rest of a
// refresh: the cards do not wait for it, the refresh's end does.
TEST(ProjectListViewModel, theProjectsAreShownBeforeTheCatalogIsWritten)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    world.addThread(threadID(1), app, 100);
    world.writeDatabase();
    ProjectListViewModel &model = world.makeModel();
    ASSERT_TRUE(world.refresh()); // the catalog exists
    const QString site = world.projectFolder(QStringLiteral("site"));
    world.addThread(threadID(2), site, 10);
    world.writeDatabase();

    // Another process holds the catalog's write lock: the synchronisation waits for it.
    const QString catalogPath = world.supportDirectory + QLatin1Char('/')
        + QLatin1String(ProjectCatalogStore::databaseFileName);
    auto writer = std::make_unique<SqliteDatabase>(catalogPath, SQLITE_OPEN_READWRITE);
    writer->execute(QStringLiteral("BEGIN IMMEDIATE"));
    bool finished = false;
    model.refresh([&] { finished = true; });
    ASSERT_TRUE(waitUntil([&] { return model.projects().size() == 2; }));
    EXPECT_FALSE(finished);
    EXPECT_EQ(ProjectCatalogStore(world.supportDirectory).loadProjects(false).size(), 1);

    writer.reset();
    ASSERT_TRUE(waitUntil([&] { return finished; }));
    EXPECT_EQ(model.statusMessage(), std::nullopt);
    EXPECT_EQ(paths(ProjectCatalogStore(world.supportDirectory).loadProjects(false)),
              (QStringList{site, app}));
}

TEST(ProjectListViewModel, processingRefreshAskedForWhileOneRunsStillSeesTheTaskEnd)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    world.addThread(threadID(1), app, 60, FakeTurnEnd::running);
    world.writeDatabase();
    world.makeModel();
    ASSERT_TRUE(world.refresh());
    ASSERT_TRUE(world.isProcessing(app));

    bool secondFinished = false;
    world.model->refreshProcessingStatus();
    // Codex ends the task while that processing refresh runs, and asks for another.
    world.codex.appendRolloutLines(threadID(1), rollout::taskComplete(Timestamp::now()));
    world.model->refreshProcessingStatus([&] { secondFinished = true; });

    ASSERT_TRUE(waitUntil([&] { return secondFinished; }));
    EXPECT_FALSE(world.isProcessing(app));
}

TEST(ProjectListViewModel, processingRefreshKeepsTheCatalogsActivityTime)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    const QString fresh = world.projectFolder(QStringLiteral("fresh"));
    const QString old = world.projectFolder(QStringLiteral("old"));
    world.addThread(threadID(1), app, 60);
    world.addThread(threadID(2), old, 7200);
    world.writeDatabase();
    // A folder the user created a moment ago, which Codex does not know yet.
    ProjectCatalogStore(world.supportDirectory)
        .rememberProject(fresh, QStringLiteral("fresh"), Timestamp::now());
    ProjectListViewModel &model = world.makeModel();
    ASSERT_TRUE(world.refresh());
    ASSERT_EQ(paths(model.filteredProjects()), (QStringList{fresh, app, old}));
    const Timestamp freshActivity = world.projectAt(fresh)->lastUpdated();

    world.codex.keepRunning(threadID(1));
    world.codex.appendRolloutLines(threadID(1), rollout::taskStarted(Timestamp::now()));
    ASSERT_TRUE(world.refreshProcessingStatus());

    ASSERT_TRUE(world.isProcessing(app));
    EXPECT_EQ(world.projectAt(fresh)->lastUpdated(), freshActivity);
    EXPECT_EQ(paths(model.filteredProjects()), (QStringList{fresh, app, old}));
}

TEST(ProjectListViewModel, listingPagesFiltersAndPublishesOnlyChanges)
{
    CoordinatorWorld world;
    QStringList expected;
    for (int i = 1; i <= 23; ++i) {
        const QString path = QStringLiteral("/w/p%1").arg(i, 2, 10, QLatin1Char('0'));
        world.addThread(threadID(i), path, 1000.0 * i, FakeTurnEnd::completed, i);
        expected.append(path);
    }
    world.writeDatabase();
    ProjectListViewModel &model = world.makeModel();
    ListPublications filtered(model, &ProjectListViewModel::filteredProjects);
    ListPublications paged(model, &ProjectListViewModel::pagedProjects);
    ASSERT_TRUE(world.refresh());

    EXPECT_EQ(model.totalPages(), 3);
    EXPECT_EQ(paths(model.pagedProjects()), expected.mid(0, 10));
    EXPECT_EQ(model.paginationSummary(), QStringLiteral("1-10 of 23"));
    model.showNextPage();
    model.showNextPage();
    EXPECT_EQ(model.currentPage(), 3);
    EXPECT_EQ(paths(model.pagedProjects()), expected.mid(20));
    EXPECT_EQ(model.paginationSummary(), QStringLiteral("21-23 of 23"));
    const int pagesBefore = paged.count;
    model.showNextPage();
    EXPECT_EQ(model.currentPage(), 3);
    EXPECT_EQ(paged.count, pagesBefore);

    // Every control returns to page 1, also when its value does not change.
    model.setSortMode(ProjectSortMode::recent);
    EXPECT_EQ(model.currentPage(), 1);
    model.showNextPage();
    // The search is trimmed and ignores case, and reads the user's latest request too.
    model.setSearchText(QStringLiteral("  WORK ON ") + threadID(2).toUpper() + QLatin1Char(' '));
    EXPECT_EQ(model.currentPage(), 1);
    EXPECT_EQ(paths(model.filteredProjects()), QStringList{"/w/p02"});
    model.setSearchText(QString());
    model.setSortMode(ProjectSortMode::tokens);
    EXPECT_EQ(model.filteredProjects().first().path, QStringLiteral("/w/p23"));
    model.setSortMode(ProjectSortMode::recent);
    model.setPageSize(ProjectPageSize::all);
    EXPECT_EQ(model.paginationSummary(), QStringLiteral("1-23 of 23"));
    model.setPageSize(ProjectPageSize::ten);

    // A refresh that changes only token totals, which cards do not show, publishes no list.
    const int filteredBefore = filtered.count;
    const int pagedBefore = paged.count;
    const QList<CodexProject> projectsBefore = model.projects();
    world.codex = FakeCodexHome(world.codex.path());
    for (int i = 1; i <= 23; ++i) {
        FakeCodexThread thread = CoordinatorWorld::threadFor(threadID(i), expected.at(i - 1), 0);
        thread.updatedAt = projectsBefore.at(i - 1).threads().first().updatedAt;
        thread.recencyAt = thread.updatedAt;
        thread.tokensUsed = 1000 + i;
        world.codex.addThread(thread);
    }
    world.writeDatabase();
    ASSERT_TRUE(world.refresh());
    EXPECT_NE(model.projects(), projectsBefore);
    EXPECT_EQ(filtered.count, filteredBefore);
    EXPECT_EQ(paged.count, pagedBefore);
}

TEST(ProjectListViewModel, teamChangesAreCollectedAndKeepThePage)
{
    CoordinatorWorld world;
    for (int i = 1; i <= 23; ++i) {
        world.addThread(threadID(i), QStringLiteral("/w/p%1").arg(i, 2, 10, QLatin1Char('0')),
                        1000.0 * i);
    }
    world.writeDatabase();
    world.team.teams = {TeamWorkspaceTeam{QStringLiteral("team-1"), QStringLiteral("One")}};
    ProjectListViewModel &model = world.makeModel();
    ASSERT_TRUE(world.refresh());
    model.setTeamFilterID(ProjectListCriteria::localOnly);
    model.showNextPage();
    model.showNextPage();
    ASSERT_EQ(model.paginationSummary(), QStringLiteral("21-23 of 23"));

    ListPublications filtered(model, &ProjectListViewModel::filteredProjects);
    for (int i = 1; i <= 8; ++i) {
        world.team.setTeamIDs(QStringLiteral("/w/p%1").arg(i, 2, 10, QLatin1Char('0')),
                              {QStringLiteral("team-1")});
    }
    for (int i = 0; i < 10; ++i) {
        Q_EMIT world.team.sharedProjectsChanged();
        processEventsFor(std::chrono::milliseconds(10));
    }

    ASSERT_TRUE(waitUntil([&] { return model.filteredProjects().size() == 15; }));
    runQueuedWork();
    EXPECT_EQ(filtered.count, 1);
    EXPECT_EQ(model.currentPage(), 2);
    EXPECT_EQ(model.paginationSummary(), QStringLiteral("11-15 of 15"));
    model.setTeamFilterID(QStringLiteral("team-1"));
    EXPECT_EQ(model.filteredProjects().size(), 8);
}

TEST(ProjectListViewModel, aTeamFilterWhoseTeamGoesReturnsToAllFromTheFirstPage)
{
    CoordinatorWorld world;
    for (int i = 1; i <= 23; ++i)
        world.addThread(threadID(i), QStringLiteral("/w/p%1").arg(i), 1000.0 * i);
    world.writeDatabase();
    world.team.teams = {TeamWorkspaceTeam{QStringLiteral("t1"), QStringLiteral("One")}};
    ProjectListViewModel &model = world.makeModel();
    ASSERT_TRUE(world.refresh());

    struct Row
    {
        const char *name;
        QString filter;
        QList<TeamWorkspaceTeam> teamsAfter;
        QString expected;
    };
    const TeamWorkspaceTeam other{QStringLiteral("t2"), QStringLiteral("Two")};
    for (const Row &row : {Row{"its team goes", "t1", {other}, "all"},
                           Row{"another team stays", "local-only", {other}, "local-only"},
                           Row{"no team is left", "local-only", {}, "all"},
                           Row{"its team stays", "t1", world.team.teams, "t1"}}) {
        SCOPED_TRACE(row.name);
        const QList<TeamWorkspaceTeam> before = world.team.teams;
        model.setTeamFilterID(row.filter);
        model.showNextPage();
        int criteriaChanges = 0;
        const auto connection = QObject::connect(&model,
                                                 &ProjectListViewModel::listCriteriaChanged,
                                                 [&] { ++criteriaChanges; });
        world.team.teams = row.teamsAfter;
        Q_EMIT world.team.enabledTeamsChanged();
        QObject::disconnect(connection);

        EXPECT_EQ(model.teamFilterID(), row.expected);
        if (row.expected != row.filter) {
            EXPECT_EQ(criteriaChanges, 1);
            EXPECT_EQ(model.currentPage(), 1);
        }
        world.team.teams = before;
        model.setTeamFilterID(ProjectListCriteria::allTeams);
    }
    model.setTeamFilterID(QStringLiteral("never-a-team"));
    EXPECT_EQ(model.teamFilterID(), ProjectListCriteria::allTeams);
}

TEST(ProjectListViewModel, tokenUsageKeepsUpdatingWhileRefreshesFollowEachOther)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    world.addThread(threadID(1), app, 60, FakeTurnEnd::completed, 100);
    world.writeDatabase();
    ProjectListViewModel &model = world.makeModel();
    QList<std::optional<QString>> statuses;
    QObject::connect(&model, &ProjectListViewModel::objectWillChange, &model, [&] {
        if (model.statusMessage())
            statuses.append(model.statusMessage());
    });

    // Codex at work: a full refresh about every half second, each after new usage.
    qint64 expected = 100;
    for (int i = 1; i <= 6; ++i) {
        rollout::TokenCount count;
        count.last.input = 10 * i;
        count.total.input = expected + 10 * i;
        world.codex.appendRolloutLines(
            threadID(1), rollout::tokenCount(Timestamp::now().addingSeconds(i), count));
        expected += 10 * i;
        ASSERT_TRUE(world.refresh());
    }

    ASSERT_TRUE(waitUntil([&] {
        return model.tokenUsageSnapshot().global.indexedTokens == expected
            && !model.isIndexingTokenUsage();
    }));
    EXPECT_EQ(model.tokenUsage(app).indexedTokens, expected);
    EXPECT_TRUE(statuses.isEmpty()) << statuses.constFirst()->toStdString();
    ASSERT_FALSE(world.team.tokenUsageUpdates.isEmpty());
    EXPECT_EQ(world.team.tokenUsageUpdates.constLast(), model.tokenUsageSnapshot());
}

TEST(ProjectListViewModel, gitStatusIsReadOnlyWhenStaleOrForced)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    const QString log = world.home.filePath(QStringLiteral("git-runs.log"));
    const QString git = GitDouble::recording(world.projectFolder(QStringLiteral("bin")), log);
    ProjectMetadataCacheSnapshot cache = ProjectMetadataCacheSnapshot::empty();
    cache.gitStatuses.insert(app, gitStatus(QStringLiteral("main"),
                                            Timestamp::now().addingSeconds(-59)));
    writeMetadataCache(world.supportDirectory, cache);
    ProjectListViewModel &model = world.makeModel(git);

    bool done = false;
    model.refreshGitStatus(app, false, [&] { done = true; });
    EXPECT_TRUE(done);
    EXPECT_TRUE(GitDouble::loggedRuns(log).isEmpty());

    done = false;
    model.refreshGitStatus(app, true, [&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_EQ(GitDouble::loggedRuns(log).size(), 1);
    EXPECT_FALSE(model.projectGitStatuses().value(app).isRepository);
    EXPECT_EQ(world.metadataCache->gitStatuses().value(app),
              model.projectGitStatuses().value(app));
}

TEST(ProjectListViewModel, gitThatHangsKeepsThePreviousStatus)
{
    CoordinatorWorld world;
    const QString app = world.projectFolder(QStringLiteral("app"));
    const QString git = GitDouble::hanging(world.projectFolder(QStringLiteral("bin")),
                                           world.home.filePath(QStringLiteral("git.pids")));
    ProjectMetadataCacheSnapshot cache = ProjectMetadataCacheSnapshot::empty();
    const ProjectGitStatus known = gitStatus(QStringLiteral("main"),
                                             Timestamp::now().addingSeconds(-3600));
    cache.gitStatuses.insert(app, known);
    writeMetadataCache(world.supportDirectory, cache);
    ProjectListViewModel &model = world.makeModel(git);

    bool done = false;
    model.refreshGitStatus(app, true, [&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done; }));

    EXPECT_EQ(model.projectGitStatuses().value(app), known);
}
