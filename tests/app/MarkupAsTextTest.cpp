// Text from outside (Codex's files, git, the file system, the team server, the update server)
// shows in the browser and its prompts as the characters it holds, never read as markup.
#include "BrowserWorld.h"

#include "app/FileDialogFolderPicker.h"
#include "app/cards/ProjectCardView.h"
#include "app/cards/RecentChatMenuFactory.h"
#include "app/tags/TagDeletionPrompt.h"
#include "app/tags/TagRenameDialog.h"
#include "app/tags/TagSidebar.h"
#include "app/window/BrowserFooter.h"
#include "app/window/BrowserHeader.h"
#include "app/window/CommitBanner.h"
#include "app/window/CommitBannerText.h"
#include "app/window/TeamButtonPresentation.h"
#include "app/window/TolvaranViewController.h"
#include "app/window/UpdateControl.h"
#include "support/network/LocalHttpServer.h"
#include "support/update/ReleaseBuilder.h"
#include "support/WaitUntil.h"
#include "support/widgets/ShownText.h"
#include "update/AppUpdateService.h"
#include "widgets/ClosureButton.h"
#include "widgets/RenamePrompt.h"

#include <QDir>
#include <QLabel>
#include <QMessageBox>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

// A card showing a project that `edit` describes; `then` acts on the card.
MarkupPlace card(const char *name,
                 std::function<void(BrowserCardModel &, const QString &)> edit,
                 std::function<void(ProjectCardView &)> then = {})
{
    return {name, [edit, then](QWidget &host, const QString &typed) {
                BrowserCardModel model;
                model.project.path = QStringLiteral("/work/orbit");
                model.project.name = QStringLiteral("orbit");
                edit(model, typed);
                auto *view = new ProjectCardView(&host);
                view->resize(420, 246);
                ProjectCardActions actions;
                actions.toggleTag = [](const QUuid &) {};
                view->configure(model, actions);
                if (then)
                    then(*view);
            }};
}

TeamCommitEvent commit(const QString &memberName, const QString &subject)
{
    TeamCommitEvent event;
    event.id = QStringLiteral("c1");
    event.memberName = memberName;
    event.repositoryName = QStringLiteral("orbit");
    event.headSha = QString(40, QLatin1Char('a'));
    event.subject = subject;
    return event;
}

// A name long enough to be cut in its sidebar row, whole in the row's tooltip.
QString longTagName(const QString &typed)
{
    return typed + QLatin1Char(' ') + QString(60, QLatin1Char('w'));
}

void showTag(QWidget &host, const QString &name)
{
    auto *sidebar = new TagSidebar(&host);
    SidebarSignature signature;
    signature.tags = {{QUuid::createUuid(), name}};
    sidebar->setSignature(signature);
}

} // namespace

TEST(MarkupAsTextInTheBrowser, everyPlaceShowsOutsideTextAsTyped)
{
    const QList<MarkupPlace> places{
        {"the team's name in the team button's tooltip",
         [](QWidget &host, const QString &typed) {
             auto *header = new BrowserHeader(&host);
             header->setTeamButton(TeamButtonPresentation::forWorkspace(
                 true, typed, TeamConnectionState::connected()));
         }},
        {"a team in the team filter",
         [](QWidget &host, const QString &typed) {
             auto *header = new BrowserHeader(&host);
             header->setTeamFilter({{QStringLiteral("t1"), typed}}, QString());
         }},
        card("the project's name",
             [](BrowserCardModel &model, const QString &typed) { model.project.name = typed; }),
        card("the project's path",
             [](BrowserCardModel &model, const QString &typed) { model.project.path = typed; }),
        card("the branch",
             [](BrowserCardModel &model, const QString &typed) {
                 model.project.displayBranch = typed;
             }),
        card("the upstream of a project behind",
             [](BrowserCardModel &model, const QString &typed) {
                 ProjectGitStatus status;
                 status.isRepository = true;
                 status.upstream = typed;
                 status.behindCount = 2;
                 model.gitStatus = status;
             }),
        card("a team that shares the project",
             [](BrowserCardModel &model, const QString &typed) { model.teamNames = {typed}; }),
        card("a teammate on the project",
             [](BrowserCardModel &model, const QString &typed) {
                 TeamProjectPeer peer;
                 peer.memberName = typed;
                 model.teamSummary = TeamProjectSummary{{peer}};
             }),
        card("a teammate's work and files",
             [](BrowserCardModel &model, const QString &typed) {
                 TeamProjectPeer peer;
                 peer.memberName = QStringLiteral("Ana");
                 peer.project.workSummary = typed;
                 peer.project.changedFiles = {typed, QStringLiteral("b.cpp")};
                 model.teamSummary = TeamProjectSummary{{peer}};
             }),
        card("a tag of the project",
             [](BrowserCardModel &model, const QString &typed) {
                 model.assignedTags = {{QUuid::createUuid(), typed}};
             }),
        card(
            "a tag in the card's tag menu",
            [](BrowserCardModel &model, const QString &typed) {
                model.availableTags = {{QUuid::createUuid(), typed}};
            },
            [](ProjectCardView &view) {
                view.findChild<ClosureButton *>(QStringLiteral("tagButton"))->invoke();
            }),
        {"a chat's title and latest request in the recent chats menu",
         [](QWidget &host, const QString &typed) {
             RecentChatMenuItem titled{QStringLiteral("a"), typed, QString(), Timestamp::now()};
             RecentChatMenuItem asked{QStringLiteral("b"), QStringLiteral("Chat"), typed,
                                      Timestamp::now()};
             RecentChatMenuFactory::make({titled, asked}, {}, {}, &host);
         }},
        {"a teammate's commit in the banner",
         [](QWidget &host, const QString &typed) {
             auto *banner = new CommitBanner(&host);
             banner->setText(CommitBannerText::forNotifications({commit(typed, typed)}));
         }},
        {"a failure and the chosen tag in the footer",
         [](QWidget &host, const QString &typed) {
             auto *footer = new BrowserFooter(&host);
             BrowserFooter::Status status;
             status.error = typed;
             status.tagName = typed;
             footer->setStatus(status);
         }},
        {"a tag in the sidebar",
         [](QWidget &host, const QString &typed) { showTag(host, typed); }},
        {"a long tag, cut in the sidebar",
         [](QWidget &host, const QString &typed) { showTag(host, longTagName(typed)); }},
        {"a tag in the rename dialog and its refusal",
         [](QWidget &host, const QString &typed) {
             auto *dialog = new TagRenameDialog(
                 typed, [typed](const QString &) { return std::optional(typed); }, &host);
             dialog->submit();
         }},
        {"a tag in the deletion prompt",
         [](QWidget &host, const QString &typed) { openTagDeletionPrompt(&host, typed, {}); }},
        {"the chosen tag in the new project's dialog",
         [](QWidget &host, const QString &typed) {
             FolderPickerRequest request;
             request.title = QStringLiteral("Create Codex Project");
             request.message = QStringLiteral("The new project will be tagged ") + typed;
             request.startingFolder = QDir::rootPath();
             FileDialogFolderPicker(&host).chooseNewFolder(request, [](auto) {});
         }},
        {"the project's name in the rename prompt",
         [](QWidget &host, const QString &typed) {
             RenamePrompt::open(&host, typed, true, 300, {});
         }},
    };
    expectEveryPlaceShowsAsTyped(places);
}

// The team the workspace names (as its server sets it) and its teammates' commits reach the
// title row and the banner of the whole browser.
TEST(MarkupAsTextInTheBrowser, theWorkspacesTeamAndCommitsShowAsTyped)
{
    BrowserWorld world;
    world.team.memberships = true;
    world.team.state = TeamConnectionState::connected();
    world.makeModel();
    int renders = 0;
    TolvaranViewController browser(*world.model, world.team, world.folderPicker,
                                   [](const QString &) {});
    QObject::connect(&browser, &TolvaranViewController::rendered, [&] { ++renders; });
    browser.resize(1000, 700);
    browser.show();
    for (const QString &typed : markupSamples()) {
        const int before = renders;
        world.team.name = typed;
        world.team.teams = {{QStringLiteral("t1"), typed}};
        world.team.commits = {commit(typed, typed)};
        Q_EMIT world.team.teamNameChanged(typed);
        Q_EMIT world.team.enabledTeamsChanged();
        Q_EMIT world.team.commitNotificationsChanged();
        ASSERT_TRUE(waitUntil([&] { return renders > before; }));
        EXPECT_TRUE(showsAsTyped(browser, typed));
        EXPECT_TRUE(describesAsTyped(browser, typed));
    }
}

// A failed installation's sentence names a folder of this computer, whatever it holds.
TEST(MarkupAsTextInTheUpdateControl, theFailureAlertShowsTheSystemsSentenceAsTyped)
{
    TemporaryHome home;
    LocalHttpServer server;
    ASSERT_TRUE(server.listen());
    ReleaseBuilder::publish(server, ReleaseBuilder::manifestFor("26.9.1", "archive"), "archive");
    const QString installed = home.filePath(QStringLiteral("apps/Tolvaran"));
    ReleaseBuilder::writeApplicationFolder(installed, QStringLiteral("26.8.70"));
    for (const QString &typed : markupSamples()) {
        SCOPED_TRACE(typed.toStdString());
        AppUpdateEnvironment environment;
        environment.serverURL = ReleaseBuilder::baseAddress(server);
        environment.currentVersion = QStringLiteral("26.8.70");
        environment.runningExecutable = installed + QStringLiteral("/bin/tolvaran");
        // A folder that does not exist: the installation cannot make its work folder there,
        // and says so naming it.
        environment.temporaryDirectory = home.filePath(typed);
        environment.quitApplication = [] {};
        AppUpdateService updater(environment);
        QWidget window;
        auto *control = new UpdateControl(updater, new QLabel(&window), &window);
        window.show();
        bool checked = false;
        updater.checkForUpdates([&] { checked = true; });
        ASSERT_TRUE(waitUntil([&] { return checked; }));
        ASSERT_TRUE(updater.availableUpdate().has_value());
        control->button()->invoke();
        ASSERT_TRUE(waitUntil([&] { return control->failureAlert() != nullptr; }));
        EXPECT_TRUE(showsAsTyped(*control->failureAlert(), typed));
    }
}
