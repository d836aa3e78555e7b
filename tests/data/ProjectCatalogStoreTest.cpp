#include "data/catalog/ProjectCatalogError.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "platform/Paths.h"
#include "platform/storage/SqliteDatabase.h"
#include "platform/storage/SqliteStatement.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include <sys/stat.h>

using namespace tolvaran;

namespace {

CodexThread makeThread(const QString &id, double recency, bool archived = false)
{
    CodexThread thread;
    thread.id = id;
    thread.rolloutPath = QStringLiteral("/codex/sessions/") + id + QStringLiteral(".jsonl");
    thread.cwd = QStringLiteral("/somewhere/else");
    thread.title = QStringLiteral("Title ") + id;
    thread.preview = QStringLiteral("Preview ") + id;
    thread.updatedAt = Timestamp::fromSeconds(recency - 1);
    thread.recencyAt = Timestamp::fromSeconds(recency);
    thread.createdAt = Timestamp::fromSeconds(recency - 100);
    thread.archived = archived;
    thread.tokensUsed = qint64(1) << 40;
    return thread;
}

CodexProject makeProject(const QString &path, const QList<CodexThread> &threads,
                         std::optional<QString> codexID = std::nullopt, bool pinned = false,
                         const QSet<QString> &unread = {},
                         std::optional<Timestamp> lastUpdated = std::nullopt)
{
    return CodexProject(path, threads, pinned, unread, {}, std::move(codexID), std::nullopt,
                        lastUpdated);
}

QStringList paths(const QList<CodexProject> &projects)
{
    QStringList result;
    for (const CodexProject &project : projects)
        result.append(project.path());
    return result;
}

mode_t modeOf(const QString &path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 0777;
}

// Reads the catalog's rows directly, to see what a store operation left on disk.
class CatalogFile final
{
public:
    explicit CatalogFile(const QString &path)
        : m_db(path, SQLITE_OPEN_READWRITE)
    {
    }

    QVariant value(const QString &sql)
    {
        SqliteStatement statement(m_db, sql);
        if (!statement.step() || statement.isNull(0))
            return {};
        return statement.text(0);
    }

    double real(const QString &sql) { return value(sql).toDouble(); }

    void execute(const QString &sql) { m_db.execute(sql); }

private:
    SqliteDatabase m_db;
};

class ProjectCatalogStoreTest : public ::testing::Test
{
protected:
    fixtures::TemporaryHome home;
    QString folder = home.filePath(QStringLiteral("data/Tolvaran"));
    ProjectCatalogStore store{folder};

    CatalogFile file() { return CatalogFile(*store.databasePath()); }
};

} // namespace

TEST_F(ProjectCatalogStoreTest, firstUseCreatesPrivateFolderFileAndSchema)
{
    const mode_t previousMask = ::umask(022);
    EXPECT_TRUE(store.loadProjects(false).isEmpty());
    ::umask(previousMask);

    EXPECT_EQ(*store.databasePath(), folder + QStringLiteral("/project-catalog-v1.sqlite"));
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(*store.databasePath()), 0600u);
    const double objects = file().real(QStringLiteral(
        "SELECT COUNT(*) FROM sqlite_master WHERE name IN "
        "('projects', 'threads', 'threads_project_recency')"));
    EXPECT_EQ(objects, 3);

    store.rememberProject(QStringLiteral("/w/app"), QStringLiteral("App"),
                          Timestamp::fromSeconds(1));
    EXPECT_EQ(modeOf(*store.databasePath()), 0600u);
    EXPECT_EQ(store.loadProjects(false).size(), 1);
}

TEST_F(ProjectCatalogStoreTest, loadRebuildsProjectsFromSavedRows)
{
    CodexThread full = makeThread(QStringLiteral("t1"), 200);
    full.customName = QStringLiteral("Mine");
    full.latestUserMessage = QStringLiteral("Fix it");
    full.gitBranch = QStringLiteral("main");
    full.gitOriginURL = QStringLiteral("git@example.org:me/app.git");
    full.model = QStringLiteral("model-x");
    full.projectID = QStringLiteral("codex-1");
    CodexThread blanks = makeThread(QStringLiteral("t2"), 300);
    blanks.customName = QString();
    blanks.gitBranch = QStringLiteral("  ");
    const CodexThread older = makeThread(QStringLiteral("t3"), 100);

    store.synchronize({makeProject(QStringLiteral("/w/lib"), {older}),
                       makeProject(QStringLiteral("/w/app"), {full, blanks},
                                   QStringLiteral("codex-1"), true,
                                   {QStringLiteral("t1"), QStringLiteral("t2")})},
                      Timestamp::fromSeconds(1000));
    store.markThreadRead(QStringLiteral("t2"));
    store.markThreadRead(QStringLiteral("no-such-thread"));

    const QList<CodexProject> loaded = ProjectCatalogStore(folder).loadProjects(false);
    ASSERT_EQ(paths(loaded), (QStringList{QStringLiteral("/w/app"), QStringLiteral("/w/lib")}));
    const CodexProject &app = loaded.first();
    EXPECT_EQ(app.name(), QStringLiteral("app"));
    EXPECT_TRUE(app.isPinned());
    EXPECT_EQ(app.codexProjectID(), QStringLiteral("codex-1"));
    EXPECT_EQ(app.unreadThreadIDs(), QSet<QString>{QStringLiteral("t1")});
    EXPECT_TRUE(app.processingThreadIDs().isEmpty());
    EXPECT_EQ(app.lastUpdated(), Timestamp::fromSeconds(300));
    ASSERT_EQ(app.threads().size(), 2);
    // Newest first; a restored thread works in the catalog's project folder.
    CodexThread expectedFull = full;
    expectedFull.cwd = QStringLiteral("/w/app");
    EXPECT_EQ(app.threads().at(1), expectedFull);
    EXPECT_EQ(app.threads().at(0).id, QStringLiteral("t2"));
    EXPECT_EQ(app.threads().at(0).customName, std::nullopt);
    EXPECT_EQ(app.threads().at(0).gitBranch, std::nullopt);
    EXPECT_EQ(file().value(QStringLiteral("SELECT custom_name FROM threads WHERE id = 't2'")),
              QVariant());
}

TEST_F(ProjectCatalogStoreTest, projectsOnlyTheCatalogKnowsAreKept)
{
    store.synchronize({makeProject(QStringLiteral("/w/a"), {makeThread(QStringLiteral("a"), 20)}),
                       makeProject(QStringLiteral("/w/b"), {makeThread(QStringLiteral("b"), 10)})},
                      Timestamp::fromSeconds(1000));
    store.synchronize({makeProject(QStringLiteral("/w/a"), {makeThread(QStringLiteral("a"), 20)})},
                      Timestamp::fromSeconds(2000));
    store.rememberProject(QStringLiteral("/w/new"), QStringLiteral(" New one "),
                          Timestamp::fromSeconds(30));

    const QList<CodexProject> loaded = store.loadProjects(false);
    EXPECT_EQ(paths(loaded), (QStringList{QStringLiteral("/w/new"), QStringLiteral("/w/a"),
                                          QStringLiteral("/w/b")}));
    EXPECT_EQ(loaded.at(0).name(), QStringLiteral("New one"));
    EXPECT_EQ(loaded.at(0).threadCount(), 0);
    EXPECT_EQ(loaded.at(2).threadCount(), 1);
}

TEST_F(ProjectCatalogStoreTest, rememberingAnExistingProjectKeepsItsPinIdAndTimes)
{
    store.synchronize({makeProject(QStringLiteral("/w/a"), {}, QStringLiteral("p1"), true, {},
                                   Timestamp::fromSeconds(500))},
                      Timestamp::fromSeconds(1000));
    store.rememberProject(QStringLiteral("/w/a"), QStringLiteral("Renamed"),
                          Timestamp::fromSeconds(2000));

    const CodexProject project = store.loadProjects(false).first();
    EXPECT_EQ(project.name(), QStringLiteral("Renamed"));
    EXPECT_TRUE(project.isPinned());
    EXPECT_EQ(project.codexProjectID(), QStringLiteral("p1"));
    EXPECT_EQ(project.lastUpdated(), Timestamp::fromSeconds(500));
    auto catalog = file();
    EXPECT_EQ(catalog.real(QStringLiteral("SELECT first_seen_at FROM projects")), 1000);
    EXPECT_EQ(catalog.real(QStringLiteral("SELECT last_seen_at FROM projects")), 2000);
}

TEST_F(ProjectCatalogStoreTest, unchangedRowsAreRewrittenOnlyAfterFiveMinutes)
{
    const CodexThread thread = makeThread(QStringLiteral("t"), 50);
    const auto sync = [&](double observedAt, const QString &title) {
        CodexThread changed = thread;
        changed.title = title;
        store.synchronize({makeProject(QStringLiteral("/w/a"), {changed})},
                          Timestamp::fromSeconds(observedAt));
    };
    struct Step
    {
        const char *what;
        double observedAt;
        const char *title;
        double projectLastSeen;
        double threadLastSeen;
    };
    const Step steps[] = {
        {"first sight", 1000, "T", 1000, 1000},
        {"unchanged, soon after", 1100, "T", 1000, 1000},
        {"thread changed", 1200, "T2", 1000, 1200},
        {"unchanged, 299 s after the first sight", 1299, "T2", 1000, 1200},
        {"unchanged, 300 s after the first sight", 1300, "T2", 1300, 1200},
        {"unchanged, 300 s after the thread's rewrite", 1500, "T2", 1300, 1500},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        sync(step.observedAt, QString::fromUtf8(step.title));
        auto catalog = file();
        EXPECT_EQ(catalog.real(QStringLiteral("SELECT last_seen_at FROM projects")),
                  step.projectLastSeen);
        EXPECT_EQ(catalog.real(QStringLiteral("SELECT last_seen_at FROM threads")),
                  step.threadLastSeen);
        EXPECT_EQ(catalog.real(QStringLiteral("SELECT first_seen_at FROM projects")), 1000);
    }
}

TEST_F(ProjectCatalogStoreTest, activityOnlyMovesForwardAndCodexIdsAreNeverCleared)
{
    CodexThread thread = makeThread(QStringLiteral("t"), 50);
    thread.projectID = QStringLiteral("codex-t");
    const auto sync = [&](double lastUpdated, std::optional<QString> codexID) {
        store.synchronize({makeProject(QStringLiteral("/w/a"), {thread}, std::move(codexID),
                                       false, {}, Timestamp::fromSeconds(lastUpdated))},
                          Timestamp::fromSeconds(1000));
    };
    sync(500, QStringLiteral("codex-p"));
    thread.projectID.reset();
    sync(400, std::nullopt);
    auto catalog = file();
    EXPECT_EQ(catalog.real(QStringLiteral("SELECT last_activity_at FROM projects")), 500);
    EXPECT_EQ(catalog.value(QStringLiteral("SELECT codex_project_id FROM projects")),
              QStringLiteral("codex-p"));
    EXPECT_EQ(catalog.value(QStringLiteral("SELECT codex_project_id FROM threads")),
              QStringLiteral("codex-t"));
    sync(600, QStringLiteral("codex-q"));
    EXPECT_EQ(catalog.real(QStringLiteral("SELECT last_activity_at FROM projects")), 600);
    EXPECT_EQ(catalog.value(QStringLiteral("SELECT codex_project_id FROM projects")),
              QStringLiteral("codex-q"));
}

TEST_F(ProjectCatalogStoreTest, blankNamesFallBackToTheFolder)
{
    const struct
    {
        const char *path;
        const char *name;
        const char *stored;
    } cases[] = {
        {"/w/app", "  \n", "app"},
        {"/w/app/", "", "app"},
        {"/", " ", "/"},
        {"/w/site", " My Site ", "My Site"},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.path);
        store.rememberProject(QString::fromUtf8(row.path), QString::fromUtf8(row.name),
                              Timestamp::fromSeconds(1));
        const QString stored = standardizedPath(QString::fromUtf8(row.path));
        EXPECT_EQ(file().value(QStringLiteral("SELECT name FROM projects WHERE path = '%1'")
                                   .arg(stored)),
                  QString::fromUtf8(row.stored));
    }
}

TEST_F(ProjectCatalogStoreTest, pathSpellingsOfOneFolderAreOneProject)
{
    store.synchronize(
        {makeProject(QStringLiteral("/w/app/"), {makeThread(QStringLiteral("a"), 1)})},
        Timestamp::fromSeconds(1000));
    store.synchronize(
        {makeProject(QStringLiteral("/w/x/../app"), {makeThread(QStringLiteral("b"), 2)})},
        Timestamp::fromSeconds(1000));
    store.rememberProject(QStringLiteral("/w/./app"), QStringLiteral("App"),
                          Timestamp::fromSeconds(1000));
    store.updateProject(QStringLiteral("/w/app/"), std::nullopt, true);

    const QList<CodexProject> loaded = store.loadProjects(false);
    ASSERT_EQ(paths(loaded), QStringList{QStringLiteral("/w/app")});
    EXPECT_EQ(loaded.first().threadCount(), 2);
    EXPECT_EQ(loaded.first().name(), QStringLiteral("App"));
    EXPECT_TRUE(loaded.first().isPinned());
}

TEST_F(ProjectCatalogStoreTest, updateChangesOnlyWhatIsGiven)
{
    store.rememberProject(QStringLiteral("/w/app"), QStringLiteral("App"),
                          Timestamp::fromSeconds(1));
    const struct
    {
        const char *path;
        std::optional<QString> name;
        std::optional<bool> pinned;
        const char *expectedName;
        bool expectedPinned;
    } steps[] = {
        {"/w/app", std::nullopt, true, "App", true},
        {"/w/app", QStringLiteral("  Renamed "), std::nullopt, "Renamed", true},
        {"/w/app", QStringLiteral("   "), std::nullopt, "Renamed", true},
        {"/w/app", std::nullopt, false, "Renamed", false},
        {"/w/other", QStringLiteral("Other"), true, "Renamed", false},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.expectedName);
        store.updateProject(QString::fromUtf8(step.path), step.name, step.pinned);
        const QList<CodexProject> loaded = store.loadProjects(false);
        ASSERT_EQ(loaded.size(), 1);
        EXPECT_EQ(loaded.first().name(), QString::fromUtf8(step.expectedName));
        EXPECT_EQ(loaded.first().isPinned(), step.expectedPinned);
    }
}

TEST_F(ProjectCatalogStoreTest, archivedThreadsAreHiddenUnlessAsked)
{
    store.synchronize(
        {makeProject(QStringLiteral("/w/old"), {makeThread(QStringLiteral("o"), 5, true)}),
         makeProject(QStringLiteral("/w/mixed"), {makeThread(QStringLiteral("m1"), 4),
                                                  makeThread(QStringLiteral("m2"), 9, true)})},
        Timestamp::fromSeconds(1000));

    // A project whose threads are all archived is still listed, without threads.
    const QList<CodexProject> visible = store.loadProjects(false);
    ASSERT_EQ(paths(visible), (QStringList{QStringLiteral("/w/mixed"), QStringLiteral("/w/old")}));
    ASSERT_EQ(visible.at(0).threadCount(), 1);
    EXPECT_EQ(visible.at(0).threads().first().id, QStringLiteral("m1"));
    EXPECT_EQ(visible.at(1).threadCount(), 0);

    const QList<CodexProject> all = store.loadProjects(true);
    ASSERT_EQ(paths(all), (QStringList{QStringLiteral("/w/mixed"), QStringLiteral("/w/old")}));
    EXPECT_EQ(all.at(0).threads().first().id, QStringLiteral("m2"));
    EXPECT_EQ(all.at(1).threadCount(), 1);
}

TEST_F(ProjectCatalogStoreTest, equalActivityKeepsTheSavedOrder)
{
    const std::optional<Timestamp> same = Timestamp::fromSeconds(70);
    store.synchronize({makeProject(QStringLiteral("/w/z"), {}, {}, false, {}, same),
                       makeProject(QStringLiteral("/w/a"), {}, {}, false, {}, same),
                       makeProject(QStringLiteral("/w/m"), {}, {}, false, {}, same)},
                      Timestamp::fromSeconds(1000));
    EXPECT_EQ(paths(store.loadProjects(false)),
              (QStringList{QStringLiteral("/w/z"), QStringLiteral("/w/a"),
                           QStringLiteral("/w/m")}));
}

TEST_F(ProjectCatalogStoreTest, failedSynchronizationLeavesTheCatalogAsBefore)
{
    store.synchronize({makeProject(QStringLiteral("/w/a"), {makeThread(QStringLiteral("a"), 1)})},
                      Timestamp::fromSeconds(1000));
    const QList<CodexProject> before = store.loadProjects(true);
    file().execute(QStringLiteral(
        "CREATE TRIGGER refuse_poison BEFORE INSERT ON threads WHEN NEW.id = 'poison' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END;"));

    try {
        store.synchronize(
            {makeProject(QStringLiteral("/w/a"), {makeThread(QStringLiteral("a"), 99)}, {}, true),
             makeProject(QStringLiteral("/w/b"), {makeThread(QStringLiteral("b"), 5),
                                                  makeThread(QStringLiteral("poison"), 6)})},
            Timestamp::fromSeconds(2000));
        FAIL() << "the synchronisation should have failed";
    } catch (const ProjectCatalogError &error) {
        EXPECT_EQ(error.kind(), ProjectCatalogError::Kind::databaseWriteFailed);
        EXPECT_EQ(error.message(), QStringLiteral("Could not update Tolvaran's project catalog."));
    }
    EXPECT_EQ(store.loadProjects(true), before);
}

TEST(ProjectCatalogStoreErrors, eachFailureCarriesItsSentence)
{
    const QString openFailed = QStringLiteral("Could not open Tolvaran's project catalog.");
    const QString readFailed = QStringLiteral("Could not read Tolvaran's project catalog.");
    const QString writeFailed = QStringLiteral("Could not update Tolvaran's project catalog.");
    const struct
    {
        const char *what;
        // Prepares the folder and returns the folder to give the store.
        std::function<QString(const fixtures::TemporaryHome &)> prepare;
        QString expected;
    } cases[] = {
        {"no application-support folder", [](const auto &) { return QString(); }, openFailed},
        {"file is not a database",
         [](const auto &home) {
             home.writeFile(QStringLiteral("T/project-catalog-v1.sqlite"),
                            QByteArray("not a database, only some text").repeated(20));
             return home.filePath(QStringLiteral("T"));
         },
         writeFailed},
        {"file is a folder",
         [](const auto &home) {
             QDir().mkpath(home.filePath(QStringLiteral("T/project-catalog-v1.sqlite")));
             return home.filePath(QStringLiteral("T"));
         },
         openFailed},
        {"tables of another shape",
         [](const auto &home) {
             QDir().mkpath(home.filePath(QStringLiteral("T")));
             SqliteDatabase db(home.filePath(QStringLiteral("T/project-catalog-v1.sqlite")),
                               SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
             db.execute(QStringLiteral("CREATE TABLE projects (path TEXT PRIMARY KEY)"));
             return home.filePath(QStringLiteral("T"));
         },
         readFailed},
        {"folder cannot be created",
         [](const auto &home) {
             home.writeFile(QStringLiteral("plain-file"), "x");
             return home.filePath(QStringLiteral("plain-file/T"));
         },
         QString()},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.what);
        fixtures::TemporaryHome home;
        const ProjectCatalogStore store(row.prepare(home));
        try {
            store.loadProjects(false);
            ADD_FAILURE() << "loading should have failed";
        } catch (const ProjectCatalogError &error) {
            EXPECT_EQ(error.message(), row.expected);
        } catch (const Error &error) {
            EXPECT_TRUE(row.expected.isEmpty()) << error.what();
            EXPECT_TRUE(error.message().startsWith(QStringLiteral("Could not create the folder")));
        }
    }
}

TEST(ProjectCatalogStoreConcurrency, synchronizationsFromManyThreadsAndStoresSerialise)
{
    fixtures::TemporaryHome home;
    const QString folder = home.filePath(QStringLiteral("Tolvaran"));
    // Two stores stand for two copies of the program: their connections wait for each other
    // through SQLite's locks; the threads sharing one store wait on its lock.
    ProjectCatalogStore first(folder);
    ProjectCatalogStore second(folder);
    constexpr int writers = 4;
    constexpr int rounds = 15;
    std::vector<std::thread> threads;
    std::atomic<int> failures = 0;
    for (int writer = 0; writer < writers; ++writer) {
        threads.emplace_back([&, writer] {
            ProjectCatalogStore &store = writer % 2 ? second : first;
            const QString path = QStringLiteral("/w/p%1").arg(writer);
            for (int round = 0; round < rounds; ++round) {
                QList<CodexThread> chats;
                for (int chat = 0; chat <= round; ++chat)
                    chats.append(makeThread(QStringLiteral("%1-%2").arg(writer).arg(chat), chat));
                try {
                    store.synchronize({makeProject(path, chats)},
                                      Timestamp::fromSeconds(1000 + round));
                    store.loadProjects(false);
                } catch (const Error &error) {
                    ++failures;
                    ADD_FAILURE() << error.what();
                }
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();

    EXPECT_EQ(failures, 0);
    const QList<CodexProject> loaded = first.loadProjects(false);
    ASSERT_EQ(loaded.size(), writers);
    for (const CodexProject &project : loaded)
        EXPECT_EQ(project.threadCount(), rounds) << project.path().toStdString();
}

TEST_F(ProjectCatalogStoreTest, keepsLatestRequestsOfRollouts)
{
    EXPECT_TRUE(store.loadLatestRequests().isEmpty());
    const RolloutRequestRecord a{QStringLiteral("/c/a.jsonl"), 120, 1769947200123456789,
                                 QStringLiteral("Add a flag")};
    const RolloutRequestRecord b{QStringLiteral("/c/b.jsonl"), 7, 5, std::nullopt};
    store.saveLatestRequests({a, b}, {});
    QList<RolloutRequestRecord> loaded = store.loadLatestRequests();
    std::sort(loaded.begin(), loaded.end(),
              [](const auto &x, const auto &y) { return x.rolloutPath < y.rolloutPath; });
    EXPECT_EQ(loaded, (QList<RolloutRequestRecord>{a, b}));

    RolloutRequestRecord changed = a;
    changed.fileSize = 300;
    changed.request = QStringLiteral("Now also: add a flag");
    store.saveLatestRequests({changed}, {b.rolloutPath});
    EXPECT_EQ(store.loadLatestRequests(), QList<RolloutRequestRecord>{changed});
}

TEST_F(ProjectCatalogStoreTest, unchangedThreadsAreSkippedOnlyWhileTheFileIsAsLeft)
{
    const QList<CodexProject> projects{makeProject(
        QStringLiteral("/w/a"), {makeThread(QStringLiteral("t"), 50)}, std::nullopt, false,
        {QStringLiteral("t")})};
    store.synchronize(projects, Timestamp::fromSeconds(1000));
    const auto title = [&] {
        return file().value(QStringLiteral("SELECT title FROM threads")).toString();
    };
    const auto unread = [&] {
        return file().value(QStringLiteral("SELECT is_unread FROM threads")).toString();
    };

    // Another process changes the rows: the next synchronisation writes them again.
    file().execute(QStringLiteral("UPDATE threads SET title = 'Changed elsewhere'"));
    file().execute(QStringLiteral("UPDATE projects SET name = 'Changed elsewhere'"));
    store.synchronize(projects, Timestamp::fromSeconds(1010));
    EXPECT_EQ(title(), QStringLiteral("Title t"));
    EXPECT_EQ(file().value(QStringLiteral("SELECT name FROM projects")).toString(),
              projects.first().name());

    // So does this store's own change of the row.
    store.markThreadRead(QStringLiteral("t"));
    EXPECT_EQ(unread(), QStringLiteral("0"));
    store.synchronize(projects, Timestamp::fromSeconds(1020));
    EXPECT_EQ(unread(), QStringLiteral("1"));

    // Unchanged and seen lately: nothing is written, not even the last-seen time.
    store.synchronize(projects, Timestamp::fromSeconds(1030));
    EXPECT_EQ(file().real(QStringLiteral("SELECT last_seen_at FROM threads")), 1020);
    EXPECT_EQ(file().real(QStringLiteral("SELECT last_seen_at FROM projects")), 1010);
    // A new store (the next start) learns the last-seen times from the file.
    ProjectCatalogStore restarted{folder};
    restarted.synchronize(projects, Timestamp::fromSeconds(1310));
    EXPECT_EQ(file().real(QStringLiteral("SELECT last_seen_at FROM threads")), 1020);
    restarted.synchronize(projects, Timestamp::fromSeconds(1320));
    EXPECT_EQ(file().real(QStringLiteral("SELECT last_seen_at FROM threads")), 1320);
}

// A project handed over again with the very thread list of the last synchronisation is not
// hashed again; what else changed about it still reaches the file.
TEST_F(ProjectCatalogStoreTest, theSameThreadListAgainStillWritesWhatElseChanged)
{
    const QList<CodexThread> threads{makeThread(QStringLiteral("t"), 50),
                                     makeThread(QStringLiteral("u"), 40)};
    const QSet<QString> unread{QStringLiteral("u")};
    const auto row = [&](const char *column, const char *id) {
        return file().value(QStringLiteral("SELECT %1 FROM threads WHERE id = '%2'")
                                .arg(QLatin1String(column), QLatin1String(id)));
    };
    store.synchronize({makeProject(QStringLiteral("/w/a"), threads)},
                      Timestamp::fromSeconds(1000));

    store.synchronize({makeProject(QStringLiteral("/w/a"), threads, std::nullopt, false, unread)},
                      Timestamp::fromSeconds(1010));
    EXPECT_EQ(row("is_unread", "u").toInt(), 1);
    EXPECT_EQ(row("is_unread", "t").toInt(), 0);

    store.synchronize({makeProject(QStringLiteral("/w/b"), threads, std::nullopt, false, unread)},
                      Timestamp::fromSeconds(1020));
    EXPECT_EQ(row("project_path", "t").toString(), QStringLiteral("/w/b"));

    store.synchronize({makeProject(QStringLiteral("/w/b"), threads, std::nullopt, false, unread)},
                      Timestamp::fromSeconds(1320));
    EXPECT_EQ(row("last_seen_at", "t").toDouble(), 1320);
    EXPECT_EQ(row("last_seen_at", "u").toDouble(), 1320);
}

TEST_F(ProjectCatalogStoreTest, projectsCodexListsAreLeftOutOfTheLoad)
{
    store.synchronize({makeProject(QStringLiteral("/w/a"), {makeThread(QStringLiteral("a"), 20)}),
                       makeProject(QStringLiteral("/w/b"), {makeThread(QStringLiteral("b"), 10),
                                                            makeThread(QStringLiteral("c"), 30)})},
                      Timestamp::fromSeconds(1000));
    const QList<CodexProject> rest = store.loadProjects(false, {QStringLiteral("/w/a")});
    ASSERT_EQ(paths(rest), QStringList{QStringLiteral("/w/b")});
    ASSERT_EQ(rest.first().threads().size(), 2);
    EXPECT_EQ(rest.first().threads().first().id, QStringLiteral("c"));
    EXPECT_EQ(store.loadProjects(false).size(), 2);
}
