#include "CoordinatorDouble.h"
#include "CoordinatorWorld.h"

#include "coordinator/actions/ProjectActions.h"
#include "data/catalog/ProjectTagStore.h"
#include "support/codex/FakeCodexApplicationController.h"
#include "support/codex/FakeCodexLauncher.h"
#include "support/FakeDesktopServices.h"
#include "support/FakeFolderPicker.h"
#include "support/QtPrinters.h"
#include "support/WaitUntil.h"

#include <QJsonArray>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

const QString chatID = QStringLiteral("019a0000-0000-7000-8000-000000000001");
const QString projectID = QStringLiteral("proj-app");

// The coordinator over a fake Codex folder with one project whose one chat is unread, and
// doubles of the desktop and the Codex application.
class CoordinatorActions : public ::testing::Test
{
protected:
    void SetUp() override
    {
        app = world.projectFolder(QStringLiteral("app"));
        world.addThread(chatID, app, 100);
        world.writeDatabase();
        world.codex.writeGlobalState(FakeCodexHome::globalStateObject(
            {}, {chatID}, {{projectID, {app}, QStringLiteral("app")}}));
        ProjectActionServices services;
        services.desktop = std::make_unique<FakeDesktopServices>();
        auto launcher = std::make_unique<FakeCodexLauncher>();
        codexLauncher = launcher.get();
        services.codexLauncher = std::move(launcher);
        auto application = std::make_unique<FakeCodexApplicationController>();
        codexApplication = application.get();
        services.codexApplication = std::move(application);
        services.clock = clock.clock();
        clock.now = Timestamp::now();
        model = &world.makeModel({}, std::move(services));
        ASSERT_TRUE(world.refresh());
    }

    CodexProject project() const { return model->project(app).value(); }

    // Runs an operation that takes a completion and waits for it.
    bool run(const std::function<void(ProjectListViewModel::Completion)> &operation)
    {
        const auto done = std::make_shared<bool>(false);
        operation([done] { *done = true; });
        return waitUntil([done] { return *done; });
    }

    FakeClock clock;
    CoordinatorWorld world;
    ProjectListViewModel *model = nullptr;
    FakeCodexLauncher *codexLauncher = nullptr;
    FakeCodexApplicationController *codexApplication = nullptr;
    QString app;
};

} // namespace

TEST_F(CoordinatorActions, tagEditsArePublishedFilterTheListAndAreSaved)
{
    int announcements = 0;
    QObject::connect(model, &ProjectListViewModel::objectWillChange, model,
                     [&] { ++announcements; });
    model->addTag(QStringLiteral(" Clients "));
    ASSERT_EQ(model->tags().size(), 1);
    EXPECT_GT(announcements, 0);
    const ProjectTag clients = model->tags().first();
    EXPECT_EQ(clients.name, QStringLiteral("Clients"));
    model->addTag(QStringLiteral("clients"));
    EXPECT_EQ(model->tagErrorMessage(), QStringLiteral("A tag with that name already exists."));

    model->toggleTag(clients.id, app);
    EXPECT_EQ(model->tagErrorMessage(), std::nullopt);
    EXPECT_EQ(model->tags(app), QList<ProjectTag>{clients});
    EXPECT_EQ(model->projectStatus(clients.id), (ProjectTagStatus{1, 1, 0}));
    model->setSelectedTagID(clients.id);
    EXPECT_EQ(model->filteredProjects().size(), 1);

    model->setTagSidebarVisible(true);
    EXPECT_TRUE(model->isTagSidebarVisible());
    EXPECT_TRUE(world.defaults.boolean(QStringLiteral("projectTags.sidebarVisible")));
    ASSERT_TRUE(waitUntil([&] {
        return ProjectTagStore(world.defaults).loadSnapshot()
               == ProjectTagSnapshot{model->tags(), model->projectTagIDsByPath()};
    }));

    model->deleteTag(clients.id);
    EXPECT_EQ(model->selectedTagID(), std::nullopt);
    EXPECT_TRUE(model->tags(app).isEmpty());
}

TEST_F(CoordinatorActions, chatsPinsNewProjectsAndRenamesReachCodexAndTheList)
{
    ASSERT_EQ(project().notificationCount(), 1);
    ASSERT_TRUE(run([&](auto done) {
        model->openThread(chatID, project().cardSnapshot(), QStringLiteral("unread chat"), done);
    }));
    EXPECT_EQ(codexLauncher->openedThreads, (QList<QPair<QString, QString>>{{chatID, app}}));
    EXPECT_EQ(project().notificationCount(), 0);

    ASSERT_TRUE(run([&](auto done) { model->togglePin(project().cardSnapshot(), done); }));
    EXPECT_TRUE(project().isPinned());
    EXPECT_EQ(model->statusMessage(), QStringLiteral("Pinned app."));

    FakeFolderPicker picker;
    const QString created = world.projectFolder(QStringLiteral("site")) + QStringLiteral("/new");
    picker.answers = {created};
    ASSERT_TRUE(run([&](auto done) { model->createNewProject(picker, done); }));
    ASSERT_TRUE(waitUntil([&] {
        return model->statusMessage() == QStringLiteral("Opening a new Codex chat for new...");
    }));
    EXPECT_EQ(codexLauncher->newChatFolders, QStringList{created});
    EXPECT_FALSE(model->project(created));
    clock.advance(ProjectActions::newProjectRefreshDelay);
    ASSERT_TRUE(waitUntil([&] { return model->project(created).has_value(); }));

    const CodexApplicationInstance codex{7, 1, QStringLiteral("/opt/codex/codex"), {}, {}};
    codexApplication->running = {codex};
    ASSERT_TRUE(run([&](auto done) {
        model->renameProject(project(), QStringLiteral("Renamed"), done);
    }));
    EXPECT_EQ(model->statusMessage(), QStringLiteral("Renamed project to Renamed."));
    EXPECT_EQ(project().name(), QStringLiteral("Renamed"));
    EXPECT_EQ(codexApplication->reopened, QList<CodexApplicationInstance>{codex});
}
