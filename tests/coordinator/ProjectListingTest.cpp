#include "coordinator/ProjectListing.h"

#include <gtest/gtest.h>

using namespace tolvaran;

namespace {

CodexThread thread(const QString &id, double recency, std::optional<QString> branch = {},
                   qint64 tokens = 0)
{
    CodexThread t;
    t.id = id;
    t.updatedAt = t.recencyAt = Timestamp::fromSeconds(recency);
    t.gitBranch = std::move(branch);
    t.tokensUsed = tokens;
    return t;
}

CodexProject project(const QString &path, QList<CodexThread> threads, bool pinned = false,
                     QSet<QString> unread = {}, QSet<QString> processing = {})
{
    return CodexProject(path, std::move(threads), pinned, unread, processing);
}

QStringList paths(const QList<CodexProject> &projects)
{
    QStringList result;
    for (const CodexProject &p : projects)
        result.append(p.path());
    return result;
}

QSet<QString> noTeams(const QString &)
{
    return {};
}

QList<CodexProject> numbered(int count)
{
    QList<CodexProject> projects;
    for (int i = 1; i <= count; ++i)
        projects.append(project(QStringLiteral("/p/%1").arg(i), {}));
    return projects;
}

} // namespace

TEST(ProjectListing, filtersByTagTeamScopeAndSearch)
{
    const QUuid tag = QUuid::createUuid();
    const QList<CodexProject> projects{
        project(QStringLiteral("/w/alpha"),
                {thread(QStringLiteral("t-1"), 10, QStringLiteral("feature/x"))}, true),
        project(QStringLiteral("/w/beta"), {thread(QStringLiteral("t-2"), 20)}, false,
                {QStringLiteral("t-2")}),
        project(QStringLiteral("/w/gamma"), {thread(QStringLiteral("t-3"), 30)}, false, {},
                {QStringLiteral("t-3")}),
    };
    const QHash<QString, QSet<QUuid>> tags{{QStringLiteral("/w/beta"), {tag}}};
    auto teams = [](const QString &path) {
        return path == QLatin1String("/w/gamma") ? QSet<QString>{QStringLiteral("team-1")}
                                                 : QSet<QString>{};
    };

    struct Row
    {
        const char *name;
        ProjectListCriteria criteria;
        QStringList expected;
    };
    auto criteria = [](auto change) {
        ProjectListCriteria c;
        change(c);
        return c;
    };
    const QList<Row> rows{
        {"everything, latest first", {}, {"/w/gamma", "/w/beta", "/w/alpha"}},
        {"pinned", criteria([](auto &c) { c.scopeFilter = ProjectScopeFilter::pinned; }),
         {"/w/alpha"}},
        {"unread", criteria([](auto &c) { c.scopeFilter = ProjectScopeFilter::unread; }),
         {"/w/beta"}},
        {"processing", criteria([](auto &c) { c.scopeFilter = ProjectScopeFilter::processing; }),
         {"/w/gamma"}},
        {"tag", criteria([&](auto &c) { c.selectedTagID = tag; }), {"/w/beta"}},
        {"unknown tag", criteria([](auto &c) { c.selectedTagID = QUuid::createUuid(); }), {}},
        {"local only", criteria([](auto &c) { c.teamFilterID = ProjectListCriteria::localOnly; }),
         {"/w/beta", "/w/alpha"}},
        {"one team", criteria([](auto &c) { c.teamFilterID = QStringLiteral("team-1"); }),
         {"/w/gamma"}},
        {"team sharing nothing", criteria([](auto &c) { c.teamFilterID = QStringLiteral("x"); }),
         {}},
        {"branch, trimmed and case-blind",
         criteria([](auto &c) { c.searchText = QStringLiteral("  Feature \n"); }), {"/w/alpha"}},
        {"thread id", criteria([](auto &c) { c.searchText = QStringLiteral("T-2"); }),
         {"/w/beta"}},
        {"name, sorted A to Z", criteria([](auto &c) { c.sortMode = ProjectSortMode::name; }),
         {"/w/alpha", "/w/beta", "/w/gamma"}},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(paths(ProjectListing::filterAndSort(projects, row.criteria, tags, teams)),
                  row.expected)
            << row.name;
    }
}

TEST(ProjectListing, searchFindsTheLatestRequest)
{
    CodexThread t = thread(QStringLiteral("t"), 1);
    t.latestUserMessage = QStringLiteral("Please fix the Login page");
    const QList<CodexProject> projects{project(QStringLiteral("/w/app"), {t}),
                                       project(QStringLiteral("/w/other"), {})};
    ProjectListCriteria c;
    c.searchText = QStringLiteral("login");
    EXPECT_EQ(paths(ProjectListing::filterAndSort(projects, c, {}, noTeams)),
              QStringList{QStringLiteral("/w/app")});
}

TEST(ProjectListing, sortsAreStableWithTheirTieBreakers)
{
    auto withThreads = [](const QString &path, int count, double recency, qint64 tokens) {
        QList<CodexThread> threads;
        for (int i = 0; i < count; ++i)
            threads.append(thread(path + QString::number(i), recency, {}, tokens));
        return project(path, threads);
    };
    const QList<CodexProject> projects{
        withThreads(QStringLiteral("/b"), 5, 10, 1), withThreads(QStringLiteral("/a"), 5, 20, 1),
        withThreads(QStringLiteral("/c"), 5, 20, 1), withThreads(QStringLiteral("/d"), 2, 99, 9),
    };
    ProjectListCriteria c;
    c.sortMode = ProjectSortMode::threads;
    EXPECT_EQ(paths(ProjectListing::filterAndSort(projects, c, {}, noTeams)),
              (QStringList{"/a", "/c", "/b", "/d"}));
    c.sortMode = ProjectSortMode::tokens;
    EXPECT_EQ(paths(ProjectListing::filterAndSort(projects, c, {}, noTeams)),
              (QStringList{"/d", "/a", "/c", "/b"}));

    const QList<CodexProject> named{project(QStringLiteral("/x/gamma"), {}),
                                    project(QStringLiteral("/y/Beta"), {}),
                                    project(QStringLiteral("/z/alpha"), {}),
                                    project(QStringLiteral("/q/app"), {}),
                                    project(QStringLiteral("/r/App"), {})};
    c.sortMode = ProjectSortMode::name;
    EXPECT_EQ(paths(ProjectListing::filterAndSort(named, c, {}, noTeams)),
              (QStringList{"/z/alpha", "/q/app", "/r/App", "/y/Beta", "/x/gamma"}));
}

TEST(ProjectListing, pagesAndCaptions)
{
    const auto cards = ProjectListing::cardSnapshots(numbered(23));
    EXPECT_EQ(ProjectListing::totalPages(23, ProjectPageSize::ten), 3);
    EXPECT_EQ(ProjectListing::totalPages(0, ProjectPageSize::ten), 1);
    EXPECT_EQ(ProjectListing::totalPages(500, ProjectPageSize::all), 1);
    EXPECT_EQ(ProjectListing::paginationSummary(23, 1, ProjectPageSize::ten),
              QStringLiteral("1-10 of 23"));
    EXPECT_EQ(ProjectListing::paginationSummary(23, 3, ProjectPageSize::ten),
              QStringLiteral("21-23 of 23"));
    EXPECT_EQ(ProjectListing::paginationSummary(7, 1, ProjectPageSize::all),
              QStringLiteral("1-7 of 7"));
    EXPECT_EQ(ProjectListing::paginationSummary(0, 1, ProjectPageSize::all),
              QStringLiteral("0 projects"));
    const auto third = ProjectListing::page(cards, 3, ProjectPageSize::ten);
    ASSERT_EQ(third.size(), 3);
    EXPECT_EQ(third.first().path, QStringLiteral("/p/21"));
    EXPECT_EQ(ProjectListing::page(cards, 1, ProjectPageSize::all).size(), 23);
    // A list that shrank under the user's page keeps them on the last page that exists.
    EXPECT_EQ(ProjectListing::clampedPage(3, 15, ProjectPageSize::ten), 2);
    EXPECT_EQ(ProjectListing::paginationSummary(15, 2, ProjectPageSize::ten),
              QStringLiteral("11-15 of 15"));
    EXPECT_EQ(ProjectListing::clampedPage(0, 15, ProjectPageSize::ten), 1);
}
