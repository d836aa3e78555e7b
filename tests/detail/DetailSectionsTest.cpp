// The detail pane's sections as values and widgets: tabs, the Overview's tiles and behind
// warning, the commit and chat lists, the header with its rename prompt, the status banner.
#include "detail/sections/BehindWarning.h"
#include "detail/sections/CommitList.h"
#include "detail/DetailEmptyState.h"
#include "detail/DetailHeader.h"
#include "detail/DetailStatusBanner.h"
#include "detail/DetailTabBar.h"
#include "detail/ProjectDetailTab.h"
#include "detail/ProjectOverview.h"
#include "detail/sections/RecentChatList.h"
#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace tolvaran;

namespace {

const Timestamp now = Timestamp::fromSeconds(1'767'607'200);

CodexThread thread(const QString &id, double minutesAgo, const QString &title = {},
                   std::optional<QString> branch = std::nullopt)
{
    CodexThread thread;
    thread.id = id;
    thread.cwd = QStringLiteral("/work/alpha");
    thread.title = title.isEmpty() ? QStringLiteral("Chat ") + id : title;
    thread.updatedAt = now.addingSeconds(-60 * minutesAgo);
    thread.recencyAt = thread.updatedAt;
    thread.createdAt = thread.updatedAt;
    thread.gitBranch = std::move(branch);
    thread.tokensUsed = 1000;
    return thread;
}

CodexProject project(QList<CodexThread> threads)
{
    return CodexProject(QStringLiteral("/work/alpha"), std::move(threads), false, {}, {});
}

QList<ProjectCommit> commits(int count)
{
    QList<ProjectCommit> commits;
    for (int index = 0; index < count; ++index) {
        const QString n = QString::number(index);
        commits.append({QStringLiteral("hash") + n, QStringLiteral("abc") + n,
                        QStringLiteral("2026-01-05"), QStringLiteral("Ada"),
                        QStringLiteral("Change ") + n});
    }
    return commits;
}

// The prompt open over `owner`; a closed one is deleted first (it deletes itself later).
QDialog *openDialog(QWidget &owner)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return owner.findChild<QDialog *>(QStringLiteral("renameDialog"));
}

} // namespace

TEST(ProjectDetailTab, listsTheFourTabsInOrderAndFindsThemByLabel)
{
    QStringList labels;
    for (ProjectDetailTab tab : projectDetailTabs())
        labels.append(projectDetailTabLabel(tab));
    EXPECT_EQ(labels, (QStringList{"Overview", "Recent Commits", "Recent Chats",
                                   "Markdown Files"}));
    EXPECT_EQ(projectDetailTab("Recent Chats"), ProjectDetailTab::chats);
    EXPECT_EQ(projectDetailTab("recent chats"), std::nullopt);
    EXPECT_EQ(projectDetailTab(""), std::nullopt);
}

TEST(OverviewMetrics, showsBranchAndUpstreamOnlyWhenKnown)
{
    ProjectGitStatus noBranchNoUpstream;
    noBranchNoUpstream.isRepository = true;
    noBranchNoUpstream.aheadCount = 3;
    noBranchNoUpstream.behindCount = 4;
    ProjectGitStatus tracked = noBranchNoUpstream;
    tracked.branch = QStringLiteral("main");
    tracked.upstream = QStringLiteral("origin/main");
    tracked.aheadCount = 2;
    tracked.behindCount = 0;

    struct Row
    {
        const char *name;
        CodexProject project;
        std::optional<ProjectGitStatus> status;
        QStringList labels;
        std::optional<QString> branch;
    };
    const CodexProject plain = project({thread("a", 5)});
    const CodexProject onBranch = project({thread("a", 5, {}, QStringLiteral("feature"))});
    const QList<Row> rows{
        {"nothing known", plain, std::nullopt, {"Chats", "Tokens", "Updated"}, std::nullopt},
        {"the chats' branch without a status", onBranch, std::nullopt,
         {"Chats", "Tokens", "Updated", "Branch"}, QStringLiteral("feature")},
        {"a status without branch falls back to the chats'", onBranch, noBranchNoUpstream,
         {"Chats", "Tokens", "Updated", "Branch"}, QStringLiteral("feature")},
        {"the status's branch wins; upstream shows counts", onBranch, tracked,
         {"Chats", "Tokens", "Updated", "Branch", "Upstream"}, QStringLiteral("main")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const QList<DetailMetric> metrics = overviewMetrics(row.project, row.status, now);
        QStringList labels;
        std::optional<QString> branch;
        for (const DetailMetric &metric : metrics) {
            labels.append(metric.label);
            if (metric.label == "Branch")
                branch = metric.value;
            if (metric.label == "Upstream") {
                EXPECT_EQ(metric.value, "2 ahead, 0 behind");
            }
        }
        EXPECT_EQ(labels, row.labels);
        EXPECT_EQ(branch, row.branch);
    }
}

TEST(OverviewMetrics, writesChatsPlainTokensGroupedAndTheUpdateRelative)
{
    QList<CodexThread> threads;
    for (int index = 0; index < 1234; ++index)
        threads.append(thread(QString::number(index), 120 + index));
    threads.first().tokensUsed = 1'234'567 - 1233 * 1000;
    const QList<DetailMetric> metrics =
        overviewMetrics(project(threads), std::nullopt, now, QLocale(QLocale::English,
                                                                     QLocale::UnitedStates));
    ASSERT_EQ(metrics.size(), 3);
    EXPECT_EQ(metrics.at(0).value, "1234");
    EXPECT_EQ(metrics.at(1).value, "1,234,567");
    EXPECT_EQ(metrics.at(2).value, "2 hr. ago");
}

TEST(ProjectOverview, reusesItsTilesWhenTheMetricsChange)
{
    ProjectOverview overview;
    overview.setMetrics(overviewMetrics(project({thread("a", 5)}), std::nullopt, now));
    const QList<DetailMetricTile *> before = overview.findChildren<DetailMetricTile *>();
    ASSERT_EQ(before.size(), 3);
    overview.setMetrics(overviewMetrics(project({thread("a", 5), thread("b", 1)}),
                                        std::nullopt, now));
    EXPECT_EQ(overview.findChildren<DetailMetricTile *>(), before);
    EXPECT_EQ(overview.metrics().first().value, "2");
}

TEST(BehindWarning, countsCommitsInTheSingularOnlyForOne)
{
    EXPECT_EQ(behindWarningTitle(1), "Project is behind by 1 commit");
    EXPECT_EQ(behindWarningTitle(2), "Project is behind by 2 commits");
    EXPECT_EQ(behindWarningTitle(12), "Project is behind by 12 commits");
    EXPECT_EQ(behindWarningDetail(QStringLiteral("origin/main")),
              "Compared with origin/main. Fetch or pull in Git to update the project.");
    EXPECT_EQ(behindWarningDetail(std::nullopt),
              "Compared with the locally known upstream. Fetch or pull in Git to update the "
              "project.");

    BehindWarning warning;
    ProjectGitStatus status;
    status.behindCount = 1;
    warning.setStatus(status);
    EXPECT_EQ(warning.title(), "Project is behind by 1 commit");
}

TEST(CommitList, showsLoadingThenRowsWithDividersBetweenThemOrTheEmptyState)
{
    CommitList list;
    list.setCommits(std::nullopt, true);
    EXPECT_EQ(list.state(), CommitList::State::loading);

    list.setCommits(commits(8), false);
    EXPECT_EQ(list.state(), CommitList::State::rows);
    EXPECT_EQ(list.rows().size(), 8);
    EXPECT_EQ(list.dividerCount(), 7);
    EXPECT_EQ(list.rows().first()->findChild<QLabel *>("commitByline")->text(),
              "Ada  |  2026-01-05");
    EXPECT_EQ(list.rows().first()->findChild<QLabel *>("commitHash")->width(),
              CommitRow::hashColumnWidth);
    EXPECT_TRUE(list.rows().first()->findChild<QLabel *>("commitSubject")->textInteractionFlags()
                & Qt::TextSelectableByMouse);

    // Loading again wins over the rows it already has.
    list.setCommits(commits(8), true);
    EXPECT_EQ(list.state(), CommitList::State::loading);

    list.setCommits(commits(1), false);
    EXPECT_EQ(list.rows().size(), 1);
    EXPECT_EQ(list.dividerCount(), 0);

    for (const auto &none : {std::optional<QList<ProjectCommit>>{},
                             std::optional<QList<ProjectCommit>>{QList<ProjectCommit>{}}}) {
        list.setCommits(none, false);
        EXPECT_EQ(list.state(), CommitList::State::empty);
        EXPECT_EQ(list.findChild<DetailEmptyState *>()->text(), "No Git commits found");
    }
}

TEST(RecentChats, listsTheNewestFiftyKeepingTheOrderOfEqualRecency)
{
    QList<CodexThread> threads;
    for (int index = 0; index < 51; ++index)
        threads.append(thread(QString::number(index), 100 - index)); // oldest first
    const QList<CodexThread> chats = recentChats(project(threads));
    ASSERT_EQ(chats.size(), 50);
    EXPECT_EQ(chats.first().id, "50");
    EXPECT_EQ(chats.last().id, "1"); // "0", the oldest, is left out

    const QList<CodexThread> tied =
        recentChats(project({thread("first", 3), thread("second", 3), thread("newer", 1)}));
    EXPECT_EQ(tied.at(0).id, "newer");
    EXPECT_EQ(tied.at(1).id, "first");
    EXPECT_EQ(tied.at(2).id, "second");
}

TEST(RecentChatList, showsRowsOrTheEmptyStateAndOpensTheChosenChat)
{
    RecentChatList list;
    list.setProject(project({}), now);
    EXPECT_TRUE(list.isEmptyStateShown());
    EXPECT_EQ(list.findChild<DetailEmptyState *>()->text(), "No recent chats found");

    CodexThread asked = thread("asked", 2, QStringLiteral("Fix the build"));
    asked.latestUserMessage = QStringLiteral("please fix <b>it</b>");
    list.setProject(project({asked, thread("quiet", 9)}), now);
    EXPECT_FALSE(list.isEmptyStateShown());
    ASSERT_EQ(list.rows().size(), 2);
    EXPECT_EQ(list.rows().at(0)->title(), "Fix the build");
    EXPECT_EQ(list.rows().at(0)->message(), "please fix <b>it</b>");
    EXPECT_EQ(list.rows().at(1)->message(), "No user message available");
    EXPECT_EQ(list.rows().at(1)->findChild<QLabel *>("chatDate")->text(), "9 min. ago");

    QSignalSpy chosen(&list, &RecentChatList::chatChosen);
    list.rows().at(1)->click();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.first().first().toString(), "quiet");

    // Time passing renews the dates in place.
    const QList<RecentChatRow *> rows = list.rows();
    list.setProject(project({asked, thread("quiet", 9)}), now.addingSeconds(3600));
    EXPECT_EQ(list.rows(), rows);
    EXPECT_EQ(rows.at(1)->findChild<QLabel *>("chatDate")->text(), "1 hr. ago");
}

TEST(DetailHeader, showsTheProjectAndReportsEachAction)
{
    DetailHeader header;
    header.setProject(QStringLiteral("alpha"), QStringLiteral("/work/alpha"));
    EXPECT_EQ(header.name(), "alpha");
    EXPECT_EQ(header.path(), "/work/alpha");

    struct Row
    {
        const char *button;
        void (DetailHeader::*signal)();
    };
    for (const Row &row : {Row{"backButton", &DetailHeader::backRequested},
                           Row{"lastChatButton", &DetailHeader::lastChatRequested},
                           Row{"newChatButton", &DetailHeader::newChatRequested},
                           Row{"fileManagerButton", &DetailHeader::fileManagerRequested},
                           Row{"terminalButton", &DetailHeader::terminalRequested}}) {
        SCOPED_TRACE(row.button);
        QSignalSpy spy(&header, row.signal);
        header.findChild<QAbstractButton *>(row.button)->click();
        EXPECT_EQ(spy.size(), 1);
    }
}

TEST(DetailHeader, putsTheActionsBelowTheNameWhenBothDoNotFit)
{
    DetailHeader header;
    header.setProject(QStringLiteral("alpha"), QStringLiteral("/work/alpha"));
    header.resize(1200, 60);
    header.show();
    EXPECT_FALSE(header.isStacked());
    header.resize(380, 60);
    EXPECT_TRUE(header.isStacked());
    header.resize(1200, 60);
    EXPECT_FALSE(header.isStacked());
}

TEST(DetailHeader, renamePromptPassesTheTextAsEnteredAndNothingOnCancel)
{
    DetailHeader header;
    header.setProject(QStringLiteral("alpha"), QStringLiteral("/work/alpha"));
    QSignalSpy renamed(&header, &DetailHeader::renameRequested);

    header.findChild<QToolButton *>("renameButton")->click();
    QDialog *dialog = openDialog(header);
    ASSERT_NE(dialog, nullptr);
    auto *field = dialog->findChild<QLineEdit *>("nameField");
    EXPECT_EQ(field->width(), DetailHeader::renameFieldWidth);
    EXPECT_EQ(field->text(), "alpha");
    EXPECT_EQ(field->selectedText(), "alpha");
    dialog->reject();
    EXPECT_EQ(renamed.size(), 0);

    header.promptToRename();
    dialog = openDialog(header);
    dialog->findChild<QLineEdit *>("nameField")->setText("  Beta ");
    dialog->accept();
    ASSERT_EQ(renamed.size(), 1);
    EXPECT_EQ(renamed.first().first().toString(), "  Beta ");

    header.promptToRename();
    openDialog(header)->accept(); // unchanged
    ASSERT_EQ(renamed.size(), 2);
    EXPECT_EQ(renamed.last().first().toString(), "alpha");
}

TEST(DetailHeader, renamePromptRefusesWhileCodexWorks)
{
    DetailHeader header;
    header.setProject(QStringLiteral("alpha"), QStringLiteral("/work/alpha"));
    header.setRenameAllowed(false);
    QSignalSpy renamed(&header, &DetailHeader::renameRequested);
    header.promptToRename();
    QDialog *dialog = openDialog(header);
    EXPECT_FALSE(dialog->findChild<QLineEdit *>("nameField")->isEnabled());
    EXPECT_TRUE(dialog->findChild<QLabel *>("informativeText")
                    ->text()
                    .endsWith(" Codex is currently working. Finish all active tasks before "
                              "renaming."));
    const auto buttons = dialog->findChild<QDialogButtonBox *>()->buttons();
    for (QAbstractButton *button : buttons) {
        if (button->text() == "Rename") {
            EXPECT_FALSE(button->isEnabled());
        }
    }
    dialog->accept();
    EXPECT_EQ(renamed.size(), 0);
}

TEST(DetailTabBar, aClickSelectsThatTabAlone)
{
    DetailTabBar bar;
    EXPECT_EQ(bar.selectedTab(), ProjectDetailTab::overview);
    QSignalSpy selected(&bar, &DetailTabBar::tabSelected);
    bar.buttons().at(2)->click();
    EXPECT_EQ(bar.selectedTab(), ProjectDetailTab::chats);
    ASSERT_EQ(selected.size(), 1);
    int selectedCount = 0;
    for (DetailTabButton *button : bar.buttons())
        selectedCount += button->isSelected() ? 1 : 0;
    EXPECT_EQ(selectedCount, 1);
    EXPECT_TRUE(bar.buttons().at(2)->isSelected());
}

TEST(DetailStatusBanner, showsOnlyWithAMessageAndAsksToDismissIt)
{
    DetailStatusBanner banner;
    EXPECT_TRUE(banner.isHidden());
    banner.setMessage(QStringLiteral("Could not open Terminal: no terminal"));
    EXPECT_FALSE(banner.isHidden());
    EXPECT_EQ(banner.message(), "Could not open Terminal: no terminal");
    QSignalSpy dismissed(&banner, &DetailStatusBanner::dismissRequested);
    banner.dismissButton()->click();
    EXPECT_EQ(dismissed.size(), 1);
    banner.setMessage(std::nullopt);
    EXPECT_TRUE(banner.isHidden());
}
