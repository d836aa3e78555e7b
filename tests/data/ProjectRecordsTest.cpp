#include "data/catalog/CodexProject.h"
#include "data/catalog/ProjectListChoices.h"

#include <gtest/gtest.h>

#include <limits>

using namespace tolvaran;

namespace {

CodexThread thread(const QString &id, double updated, double recency,
                   std::optional<QString> branch = std::nullopt, qint64 tokens = 0)
{
    CodexThread t;
    t.id = id;
    t.updatedAt = Timestamp::fromSeconds(updated);
    t.recencyAt = Timestamp::fromSeconds(recency);
    t.createdAt = Timestamp::fromSeconds(0);
    t.gitBranch = std::move(branch);
    t.tokensUsed = tokens;
    return t;
}

} // namespace

TEST(CodexThread, displayTitleTakesTheFirstNonBlankText)
{
    CodexThread t;
    EXPECT_EQ(t.displayTitle(), QStringLiteral("Untitled Chat"));
    t.customName = QStringLiteral("  ");
    t.title = QStringLiteral("\n");
    t.preview = QStringLiteral("  the preview ");
    EXPECT_EQ(t.displayTitle(), QStringLiteral("the preview"));
    t.title = QStringLiteral("Title");
    EXPECT_EQ(t.displayTitle(), QStringLiteral("Title"));
    t.customName = QStringLiteral("  Mine  ");
    EXPECT_EQ(t.displayTitle(), QStringLiteral("Mine"));
}

TEST(CodexProject, emptyProjectHasNeutralFigures)
{
    const CodexProject empty(QStringLiteral("/work/app"), {}, false, {QStringLiteral("x")}, {});
    EXPECT_EQ(empty.threadCount(), 0);
    EXPECT_EQ(empty.totalTokens(), 0);
    EXPECT_FALSE(empty.latestThread());
    EXPECT_FALSE(empty.latestUnreadThreadID());
    EXPECT_EQ(empty.notificationCount(), 0);
    EXPECT_TRUE(empty.branches().isEmpty());
    EXPECT_FALSE(empty.displayBranch());
    EXPECT_TRUE(empty.lastUpdated().isDistantPast());
    const CodexProject withOverride(QStringLiteral("/work/app"), {}, false, {}, {}, std::nullopt,
                                    std::nullopt, Timestamp::fromSeconds(42));
    EXPECT_EQ(withOverride.lastUpdated(), Timestamp::fromSeconds(42));
}

TEST(CodexProject, tokenTotalsHoldAtTheLimitsInsteadOfOverflowing)
{
    const auto threadUsing = [](const char *id, qint64 tokens) {
        CodexThread thread;
        thread.id = QString::fromLatin1(id);
        thread.tokensUsed = tokens;
        return thread;
    };
    constexpr qint64 largest = std::numeric_limits<qint64>::max();
    const CodexProject high(QStringLiteral("/w"),
                            {threadUsing("a", largest - 1), threadUsing("b", 5)}, false, {}, {});
    EXPECT_EQ(high.totalTokens(), largest);
    const CodexProject low(QStringLiteral("/w"),
                           {threadUsing("a", -largest), threadUsing("b", -5)}, false, {}, {});
    EXPECT_EQ(low.totalTokens(), std::numeric_limits<qint64>::min());
}

TEST(CodexProject, namesComeFromCustomNameOrFolder)
{
    EXPECT_EQ(CodexProject(QStringLiteral("/a/web/"), {}, false, {}, {}).name(),
              QStringLiteral("web"));
    EXPECT_EQ(CodexProject(QStringLiteral("/a/web"), {}, false, {}, {}, std::nullopt,
                           QStringLiteral("   "))
                  .name(),
              QStringLiteral("web"));
    EXPECT_EQ(CodexProject(QStringLiteral("/a/web"), {}, false, {}, {}, std::nullopt,
                           QStringLiteral(" Site "))
                  .name(),
              QStringLiteral("Site"));
    EXPECT_EQ(CodexProject(QStringLiteral("/"), {}, false, {}, {}).name(), QStringLiteral("/"));
}

TEST(CodexProject, derivesLatestThreadsCountsAndBranches)
{
    const QList<CodexThread> threads{
        thread(QStringLiteral("a"), 10, 50, QStringLiteral("main"), 5),
        thread(QStringLiteral("b"), 10, 60, QStringLiteral("main"), 7),
        thread(QStringLiteral("c"), 5, 60, QString(), 0),
        thread(QStringLiteral("d"), 1, 1, std::nullopt, 0),
        thread(QStringLiteral("e"), 2, 2, QStringLiteral("dev"), 1),
    };
    const CodexProject project(QStringLiteral("/p"), threads, true,
                               {QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("zz")},
                               {QStringLiteral("d"), QStringLiteral("nope")});
    EXPECT_EQ(project.latestThread()->id, QStringLiteral("a")); // tie on updatedAt: first wins
    EXPECT_EQ(project.latestUnreadThreadID(), QStringLiteral("b")); // tie on recency: first wins
    EXPECT_EQ(project.latestProcessingThreadID(), QStringLiteral("d"));
    EXPECT_EQ(project.notificationCount(), 2);
    EXPECT_EQ(project.processingCount(), 1);
    EXPECT_EQ(project.unreadThreadIDs(), (QSet<QString>{QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(project.branches(), (QStringList{QStringLiteral("dev"), QStringLiteral("main")}));
    EXPECT_EQ(project.displayBranch(), QStringLiteral("2 branches"));
    EXPECT_EQ(project.totalTokens(), 13);
    EXPECT_EQ(project.lastUpdated(), Timestamp::fromSeconds(60));

    const ProjectCardSnapshot card = project.cardSnapshot();
    EXPECT_EQ(card.id, QStringLiteral("/p"));
    EXPECT_EQ(card.latestThreadID, QStringLiteral("a"));
    EXPECT_TRUE(card.isPinned);

    const CodexProject single(QStringLiteral("/p"), {threads[0], threads[1]}, false, {}, {});
    EXPECT_EQ(single.displayBranch(), QStringLiteral("main"));
}

TEST(CodexProject, overrideWinsOnlyWhenLater)
{
    const QList<CodexThread> threads{thread(QStringLiteral("a"), 10, 50)};
    EXPECT_EQ(CodexProject(QStringLiteral("/p"), threads, false, {}, {}, std::nullopt,
                           std::nullopt, Timestamp::fromSeconds(40))
                  .lastUpdated(),
              Timestamp::fromSeconds(50));
    EXPECT_EQ(CodexProject(QStringLiteral("/p"), threads, false, {}, {}, std::nullopt,
                           std::nullopt, Timestamp::fromSeconds(70))
                  .lastUpdated(),
              Timestamp::fromSeconds(70));
}

TEST(CodexProject, cardSnapshotsIgnoreTokensAndThreadDetails)
{
    CodexThread a = thread(QStringLiteral("a"), 10, 50, std::nullopt, 5);
    CodexThread b = a;
    b.tokensUsed = 999;
    b.title = QStringLiteral("other");
    const CodexProject first(QStringLiteral("/p"), {a}, false, {}, {});
    const CodexProject second(QStringLiteral("/p"), {b}, false, {}, {});
    EXPECT_NE(first, second);
    EXPECT_EQ(first.cardSnapshot(), second.cardSnapshot());
}

TEST(ProjectListChoices, rawValuesMatchExactly)
{
    EXPECT_EQ(projectSortModeFromRawValue(QStringLiteral("Chats")), ProjectSortMode::threads);
    EXPECT_EQ(projectSortModeFromRawValue(QStringLiteral("chats")), std::nullopt);
    EXPECT_EQ(projectSortModeFromRawValue(QStringLiteral("Threads")), std::nullopt);
    EXPECT_EQ(projectScopeFilterFromRawValue(QStringLiteral("Processing")),
              ProjectScopeFilter::processing);
    EXPECT_EQ(projectPageSizeFromRawValue(QStringLiteral("All")), ProjectPageSize::all);
    EXPECT_EQ(projectsPerPage(ProjectPageSize::twentyFive), 25);
    EXPECT_EQ(projectsPerPage(ProjectPageSize::all), std::nullopt);
    for (ProjectSortMode mode : allProjectSortModes)
        EXPECT_EQ(projectSortModeFromRawValue(rawValue(mode)), mode);
}
