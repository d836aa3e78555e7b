// What a keyboard or screen-reader user meets in the detail pane: every control Tab reaches on
// each tab is named and shows that it holds the focus, and only that control reads as focused.
#include "app/BrowserWorld.h"
#include "data/git/ProjectRepositoryStore.h"
#include "detail/DetailHeader.h"
#include "detail/ProjectDetailView.h"
#include "detail/ProjectDetailViewModel.h"
#include "detail/sections/MarkdownFileBrowser.h"
#include "markdown_view/MarkdownView.h"
#include "support/team/FixedTeamViewSource.h"
#include "support/GitRepositoryBuilder.h"
#include "support/WaitUntil.h"
#include "support/widgets/FocusStops.h"
#include "support/widgets/ScopedFocusIndicatorStyle.h"

#include <QApplication>
#include <QDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;
using ::testing::IsEmpty;

namespace {

// The pane of a repository with commits, Markdown files, uncommitted changes and a teammate
// who shares it, so that every section of every tab shows.
class DetailAccessibilityTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = world.addProject(QStringLiteral("alpha"), 2);
        GitRepositoryBuilder repository(path);
        for (const char *name : {"README.md", "docs/guide.md"})
            repository.writeFile(QString::fromLatin1(name), "# Title\n");
        repository.writeFile(QStringLiteral("notes.md"), "Only a paragraph, no heading.\n");
        repository.commitAll(QStringLiteral("First"));
        repository.writeFile(QStringLiteral("src/main.cpp"), "int main() {}\n");
        world.makeModel();
        ASSERT_TRUE(world.refresh());

        TeamProjectUsageMember member;
        member.memberName = QStringLiteral("Grace");
        teamViews.usageSummaries.insert(path, {{member}});
        TeamProjectPeer peer;
        peer.deviceId = QStringLiteral("grace-laptop");
        peer.memberName = QStringLiteral("Grace");
        peer.project.changedFiles = {QStringLiteral("src/main.cpp")};
        teamViews.summaries.insert(path, {{peer}});

        model = std::make_unique<ProjectDetailViewModel>(
            *world.model->project(path), *world.model,
            ProjectDetailViewModel::repositoryLoader(store));
        model->followTeam(teamViews, world.team);
        view = std::make_unique<ProjectDetailView>(*model, [] {});
        view->resize(1100, 900);
        view->show();
        Q_EMIT world.team.usageSummariesChanged();
        Q_EMIT world.team.projectSummariesChanged();
        ASSERT_TRUE(waitUntil([this] {
            return !model->isLoadingDetails() && model->details()
                   && !view->overviewSlot(ProjectDetailView::OverviewSection::teamActivity)
                           ->isHidden();
        }));
        runQueuedWork();
        ASSERT_TRUE(activated(view.get()));
    }

    // The program's style, which draws the focus.
    ScopedFocusIndicatorStyle style;
    BrowserWorld world;
    ProjectRepositoryStore store;
    FixedTeamViewSource teamViews;
    QString path;
    std::unique_ptr<ProjectDetailViewModel> model;
    std::unique_ptr<ProjectDetailView> view;
};

TEST_F(DetailAccessibilityTest, everyStopOnEachTabIsNamedAndShowsItsFocus)
{
    for (const ProjectDetailTab tab : projectDetailTabs()) {
        SCOPED_TRACE(projectDetailTabLabel(tab).toStdString());
        view->selectTab(tab);
        runQueuedWork();
        EXPECT_THAT(unnamedStops(view.get()), IsEmpty());
        EXPECT_THAT(stopsWithoutVisibleFocus(view.get()), IsEmpty());
    }
    EXPECT_EQ(accessibleName(view->header()->findChild<QWidget *>(QStringLiteral("newChatButton"))),
              QStringLiteral("New chat"));
}

// The preview reads as the file it shows, whether or not the file has a heading and before
// the document is laid out.
TEST_F(DetailAccessibilityTest, thePreviewIsNamedByItsFile)
{
    view->selectTab(ProjectDetailTab::markdown);
    MarkdownFileBrowser *browser = view->markdownBrowser();
    for (const QString &file : {QStringLiteral("notes.md"), QStringLiteral("README.md")}) {
        SCOPED_TRACE(file.toStdString());
        browser->setSelectedPath(QDir(path).filePath(file));
        EXPECT_EQ(accessibleName(browser->previewView()), file);
        ASSERT_TRUE(waitUntil([&] { return !browser->isLoadingPreview(); }));
        EXPECT_EQ(accessibleName(browser->previewView()), file);
    }
}

// The Markdown tab's list keeps the file it shows as its current item while another tab shows;
// assistive technology must not read that item as focused beside the control that is.
TEST_F(DetailAccessibilityTest, onlyTheControlHoldingTheFocusReadsAsFocused)
{
    view->selectTab(ProjectDetailTab::markdown);
    ASSERT_TRUE(waitUntil([this] { return view->markdownBrowser()->selectedFile().has_value(); }));
    view->selectTab(ProjectDetailTab::overview);
    runQueuedWork();
    QWidget *back = view->header()->findChild<QWidget *>(QStringLiteral("backButton"));
    back->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(back->hasFocus());
    EXPECT_EQ(focusedObjects(view.get()), QStringList{QStringLiteral("Back to projects")});
}

} // namespace
