#include "CoordinatorDouble.h"

#include "coordinator/actions/ProjectActions.h"
#include "coordinator/actions/ProjectTagController.h"
#include "data/codex/CodexGlobalStateStore.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "data/catalog/ProjectTagStore.h"
#include "platform/storage/KeyValueStore.h"
#include "support/codex/FakeCodexHome.h"
#include "support/codex/FakeCodexLauncher.h"
#include "support/FakeDesktopServices.h"
#include "support/FakeFolderPicker.h"
#include "support/QtPrinters.h"
#include "support/ScopedEnvironment.h"
#include "support/TemporaryHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

#include <gtest/gtest.h>

using namespace tolvaran;
using Status = DesktopActionResult::Status;

namespace {

const QString api = QStringLiteral("/p/api");
const QString web = QStringLiteral("/p/web");
const QString old = QStringLiteral("/p/old");

CodexThread thread(const QString &id, const QString &cwd, double recency)
{
    CodexThread t;
    t.id = id;
    t.cwd = cwd;
    t.updatedAt = t.recencyAt = Timestamp::fromSeconds(recency);
    return t;
}

class ActionWorld : public ::testing::Test
{
protected:
    ActionWorld()
    {
        codex.writeGlobalState(fixtures::FakeCodexHome::globalStateObject({web}, {"a1"}, {}));
        coordinator.projects = {
            CodexProject(api, {thread("a1", api, 300), thread("a2", api, 200)}, false, {"a1"},
                         {}),
            CodexProject(web, {thread("w1", web, 100)}, true, {}, {}),
            // Known only to the catalog: no thread tells its last activity.
            CodexProject(old, {}, false, {}, {}, std::nullopt, std::nullopt,
                         Timestamp::fromSeconds(50)),
        };
    }

    const CodexProject &project(const QString &path) const
    {
        for (const CodexProject &p : coordinator.projects) {
            if (p.path() == path)
                return p;
        }
        throw std::runtime_error("no such project");
    }

    QStringList unreadInCodex() const
    {
        QStringList ids;
        for (const QJsonValue &id : codex.globalState()
                                        .value(QStringLiteral("electron-persisted-atom-state"))
                                        .toObject()
                                        .value(QStringLiteral("unread-thread-ids-by-host-v1"))
                                        .toObject()
                                        .value(QStringLiteral("local"))
                                        .toArray())
            ids << id.toString();
        return ids;
    }

    void breakGlobalState() { codex.writeGlobalState(QByteArrayLiteral("[]")); }

    fixtures::TemporaryHome home;
    fixtures::FakeCodexHome codex{home.filePath(QStringLiteral(".codex"))};
    CodexGlobalStateStore globalState{codex.globalStatePath()};
    ProjectCatalogStore catalog{home.filePath(QStringLiteral("support"))};
    KeyValueStore defaults{home.filePath(QStringLiteral("Tolvaran.conf"))};
    ProjectTagStore tagStore{defaults};
    fixtures::FakeDesktopServices desktop;
    fixtures::FakeCodexLauncher launcher;
    fixtures::FakeFolderPicker picker;
    fixtures::FakeClock clock;
    fixtures::CoordinatorDouble coordinator;
    ProjectTagController tags{coordinator.access(), tagStore};
    ProjectActions actions{coordinator.access(),
                           {desktop, launcher, defaults, globalState, catalog},
                           tags,
                           clock.clock()};
};

} // namespace

TEST_F(ActionWorld, openingAChatMarksItReadOnlyWhenItWasUnread)
{
    const QByteArray before = codex.globalStateBytes();
    bool done = false;
    actions.openThread("a2", project(api).cardSnapshot(), "latest chat", [&] { done = true; });
    ASSERT_TRUE(fixtures::waitUntil([&] { return done; }));
    EXPECT_EQ(coordinator.statusMessage(),
              QStringLiteral("Opening api's latest chat in Codex..."));
    EXPECT_EQ(launcher.openedThreads, (QList<QPair<QString, QString>>{{"a2", api}}));
    EXPECT_EQ(codex.globalStateBytes(), before);

    done = false;
    actions.openThread("a1", project(api).cardSnapshot(), "unread chat", [&] { done = true; });
    ASSERT_TRUE(fixtures::waitUntil([&] { return done; }));
    EXPECT_EQ(coordinator.statusMessage(),
              QStringLiteral("Opening api's unread chat in Codex..."));
    EXPECT_EQ(unreadInCodex(), QStringList());
    EXPECT_EQ(project(api).notificationCount(), 0);
    EXPECT_EQ(project(api).lastUpdated(), Timestamp::fromSeconds(300));
}

TEST_F(ActionWorld, anUnreadChatStaysUnreadWhenCodexCannotBeWritten)
{
    breakGlobalState();
    bool done = false;
    actions.openThread("a1", project(api).cardSnapshot(), "unread chat", [&] { done = true; });
    ASSERT_TRUE(fixtures::waitUntil([&] { return done; }));
    EXPECT_EQ(coordinator.statusMessage(),
              QStringLiteral("Codex global state is not a JSON object."));
    EXPECT_EQ(project(api).notificationCount(), 1);
}

TEST_F(ActionWorld, anActionThatOpenedNothingSaysWhyAndWritesNothing)
{
    struct Row
    {
        DesktopActionResult result;
        QString status;
    };
    const Row rows[] = {
        {DesktopActionResult::failure(Status::InvalidLink,
                                      "Could not create the Codex chat link."),
         "Could not create the Codex chat link."},
        {DesktopActionResult::failure(Status::CodexNotFound,
                                      "Codex CLI was not found at /x/codex or on PATH."),
         "Codex CLI was not found at /x/codex or on PATH."},
        {DesktopActionResult::failure(Status::NoTerminal, "No terminal application was found."),
         "Could not launch Codex: No terminal application was found."},
    };
    const QByteArray before = codex.globalStateBytes();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.status.toStdString());
        launcher.result = row.result;
        coordinator.statusMessages.clear();
        bool done = false;
        actions.openThread("a1", project(api).cardSnapshot(), "unread chat",
                           [&] { done = true; });
        ASSERT_TRUE(fixtures::waitUntil([&] { return done; }));
        EXPECT_EQ(coordinator.statusMessages, QStringList{row.status});
        actions.startNewChat(web, "web");
        ASSERT_TRUE(fixtures::waitUntil([&] { return coordinator.statusMessages.size() == 2; }));
        EXPECT_EQ(coordinator.statusMessage(), row.status);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(codex.globalStateBytes(), before);
    EXPECT_EQ(project(api).notificationCount(), 1);

    desktop.terminalResult =
        DesktopActionResult::failure(Status::NoTerminal, "No terminal application was found.");
    actions.openTerminal(api);
    EXPECT_TRUE(fixtures::waitUntil([&] {
        return coordinator.statusMessage()
            == QStringLiteral("Could not open Terminal: No terminal application was found.");
    }));
    desktop.revealResult =
        DesktopActionResult::failure(Status::NoHandler, "No file manager was found.");
    actions.revealInFileManager(api);
    EXPECT_TRUE(fixtures::waitUntil([&] {
        return coordinator.statusMessage() == QStringLiteral("No file manager was found.");
    }));
}

TEST_F(ActionWorld, aPinShowsAtOnceAndCodexsPinsWinAfterTheWrite)
{
    bool done = false;
    actions.togglePin(project(api).cardSnapshot(), [&] { done = true; });
    EXPECT_TRUE(project(api).isPinned());
    ASSERT_TRUE(fixtures::waitUntil([&] { return done; }));
    EXPECT_EQ(coordinator.statusMessage(), QStringLiteral("Pinned api."));
    EXPECT_TRUE(project(api).isPinned());
    EXPECT_TRUE(project(web).isPinned());
    EXPECT_EQ(globalState.loadSnapshot().pinnedProjectPaths, (QSet<QString>{api, web}));

    done = false;
    actions.togglePin(project(old).cardSnapshot(), [&] { done = true; });
    ASSERT_TRUE(fixtures::waitUntil([&] { return done; }));
    EXPECT_TRUE(project(old).isPinned());
    EXPECT_EQ(project(old).lastUpdated(), Timestamp::fromSeconds(50));
}

TEST_F(ActionWorld, aFailedPinWriteRevertsOnlyThatPin)
{
    breakGlobalState();
    bool done = false;
    actions.togglePin(project(web).cardSnapshot(), [&] { done = true; });
    EXPECT_FALSE(project(web).isPinned());
    // Published while the write runs: a refresh found a new project and a chat was read.
    const CodexProject added(QStringLiteral("/p/new"), {}, false, {}, {});
    coordinator.projects.append(added);
    coordinator.projects[0] = CodexProject(api, project(api).threads(), false, {}, {});
    const QList<CodexProject> meanwhile = coordinator.projects;

    ASSERT_TRUE(fixtures::waitUntil([&] { return done; }));
    EXPECT_EQ(coordinator.statusMessage(),
              QStringLiteral("Codex global state is not a JSON object."));
    EXPECT_TRUE(project(web).isPinned());
    ASSERT_EQ(coordinator.projects.size(), meanwhile.size());
    for (qsizetype i = 0; i < meanwhile.size(); ++i) {
        if (meanwhile[i].path() != web) {
            EXPECT_EQ(coordinator.projects[i], meanwhile[i]) << meanwhile[i].path().toStdString();
        }
    }
}

TEST_F(ActionWorld, aNewProjectIsRefusedWithoutANameOrOverSomethingThatExists)
{
    const QString parent = home.filePath("projects");
    QDir().mkpath(parent + "/api");
    home.writeFile("projects/notes", "x");
    struct Row
    {
        std::optional<QString> answer;
        std::optional<QString> status;
    };
    const Row rows[] = {
        {std::nullopt, std::nullopt}, // cancelled
        {parent + "/  \t", QStringLiteral("Enter a project name.")},
        {parent + "/api", QStringLiteral("A folder named api already exists.")},
        {parent + "/notes/", QStringLiteral("A file named notes already exists.")},
        {parent + "/gone/new",
         QStringLiteral("Could not create new: No such file or directory.")},
    };
    const QStringList before = QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.answer.value_or("cancelled").toStdString());
        coordinator.statusMessages.clear();
        picker.answers = {row.answer};
        bool done = false;
        actions.createNewProject(picker, [&] { done = true; });
        EXPECT_TRUE(done);
        EXPECT_EQ(coordinator.statusMessage(), row.status);
    }
    EXPECT_EQ(QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    EXPECT_TRUE(launcher.newChatFolders.isEmpty());
    EXPECT_FALSE(defaults.contains(NewProjectCreator::parentDirectoryKey));
    clock.advance(std::chrono::seconds(10));
    EXPECT_EQ(coordinator.refreshCount, 0);
}

TEST_F(ActionWorld, aNewProjectIsCreatedTaggedOpenedAndListedAMomentLater)
{
    tags.addTag("Work");
    const QUuid work = coordinator.tagState.tags[0].id;
    coordinator.selectedTagID = work;
    const QString parent = home.filePath("projects");
    QDir().mkpath(parent);
    const QString folder = parent + "/ My App ";
    picker.answers = {folder};

    actions.createNewProject(picker);
    ASSERT_EQ(picker.requests.size(), 1);
    EXPECT_EQ(picker.requests[0].message,
              QStringLiteral("The new project will be tagged Work and opened in Codex."));
    EXPECT_EQ(picker.requests[0].initialName, QStringLiteral("New Project"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(coordinator.tagState.projectTagIDsByPath.value(folder), QSet<QUuid>{work});
    ASSERT_TRUE(fixtures::waitUntil([&] {
        return coordinator.statusMessage()
            == QStringLiteral("Opening a new Codex chat for My App...");
    }));
    EXPECT_EQ(launcher.newChatFolders, QStringList{folder});
    EXPECT_EQ(defaults.string(NewProjectCreator::parentDirectoryKey), parent);
    const QList<CodexProject> saved = catalog.loadProjects(false);
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].path(), folder);
    EXPECT_EQ(saved[0].name(), QStringLiteral("My App"));

    clock.advance(ProjectActions::newProjectRefreshDelay - std::chrono::milliseconds(1));
    EXPECT_EQ(coordinator.refreshCount, 0);
    clock.advance(std::chrono::milliseconds(1));
    EXPECT_EQ(coordinator.refreshCount, 1);
    ASSERT_TRUE(
        fixtures::waitUntil([&] { return tagStore.loadSnapshot() == coordinator.tagState; }));
}

TEST_F(ActionWorld, theDialogStartsInTheLastParentWhileItExists)
{
    fixtures::ScopedEnvironment environment;
    environment.set("HOME", QFile::encodeName(home.path()));
    environment.set("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    const QString documents = home.filePath("Documents");
    QDir().mkpath(documents);
    const QString parent = home.filePath("work/projects");
    QDir().mkpath(parent);

    EXPECT_EQ(actions.newProjectCreator().defaultParentDirectory(), documents);
    picker.answers = {parent + "/first", std::nullopt, std::nullopt};
    actions.createNewProject(picker);
    actions.createNewProject(picker);
    QDir(parent).removeRecursively();
    actions.createNewProject(picker);
    ASSERT_EQ(picker.requests.size(), 3);
    EXPECT_EQ(picker.requests[0].startingFolder, documents);
    EXPECT_EQ(picker.requests[1].startingFolder, parent);
    EXPECT_EQ(picker.requests[2].startingFolder, documents);
    EXPECT_EQ(picker.requests[2].message,
              QStringLiteral("The new project will be opened in Codex."));
}
