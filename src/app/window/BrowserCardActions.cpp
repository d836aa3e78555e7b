#include "app/window/BrowserCardActions.h"

#include "app/cards/RecentChatMenuItem.h"
#include "coordinator/ProjectListViewModel.h"

#include <QPointer>

namespace tolvaran {

BrowserCardActions::BrowserCardActions(ProjectListViewModel &viewModel,
                                       std::function<void(const QString &)> onOpenProject,
                                       QObject *parent)
    : QObject(parent)
    , m_viewModel(viewModel)
    , m_onOpenProject(std::move(onOpenProject))
{
}

void BrowserCardActions::setOnOpenProject(std::function<void(const QString &)> onOpenProject)
{
    m_onOpenProject = std::move(onOpenProject);
}

ProjectCardActions BrowserCardActions::forProject(const ProjectCardSnapshot &project)
{
    // Every closure reads this object once into a local pointer, checked before use.
    const QPointer<BrowserCardActions> weakSelf(this);
    // A closure that runs `work` with the coordinator while this object exists.
    const auto withModel = [weakSelf](auto work) {
        return [weakSelf, work] {
            if (BrowserCardActions *self = weakSelf.data())
                work(self->m_viewModel);
        };
    };
    const QString id = project.id;
    const QString path = project.path;
    const QString name = project.name;

    ProjectCardActions actions;
    actions.recentChats = recentChatMenuItems(m_viewModel.project(id), project);
    actions.openDetails = [weakSelf, id] {
        BrowserCardActions *self = weakSelf.data();
        if (!self)
            return;
        self->m_viewModel.setSelectedProjectID(id);
        if (self->m_onOpenProject)
            self->m_onOpenProject(id);
    };
    // Looked up when the user confirms: the id (the path) outlives a rename of the project.
    actions.renameProject = [weakSelf, id](const QString &newName) {
        BrowserCardActions *self = weakSelf.data();
        if (!self)
            return;
        if (const std::optional<CodexProject> found = self->m_viewModel.project(id))
            self->m_viewModel.renameProject(*found, newName);
    };
    actions.toggleTag = [weakSelf, path](const QUuid &tagID) {
        if (BrowserCardActions *self = weakSelf.data())
            self->m_viewModel.toggleTag(tagID, path);
    };
    actions.manageTags =
        withModel([](ProjectListViewModel &model) { model.setTagSidebarVisible(true); });
    actions.togglePin =
        withModel([project](ProjectListViewModel &model) { model.togglePin(project); });
    actions.openUnread = withModel([project](ProjectListViewModel &model) {
        if (project.latestUnreadThreadID) {
            model.openThread(*project.latestUnreadThreadID, project,
                             QStringLiteral("unread chat"));
        }
    });
    actions.openProcessing = withModel([project](ProjectListViewModel &model) {
        if (project.latestProcessingThreadID) {
            model.openThread(*project.latestProcessingThreadID, project,
                             QStringLiteral("processing chat"));
        }
    });
    actions.lastChat = withModel([project](ProjectListViewModel &model) {
        if (project.latestThreadID)
            model.openThread(*project.latestThreadID, project, QStringLiteral("latest chat"));
        else
            model.startNewChat(project.path, project.name);
    });
    // A chat that has gone since the menu was made does nothing.
    actions.openRecentChat = [weakSelf, project](const QString &threadID) {
        BrowserCardActions *self = weakSelf.data();
        if (!self)
            return;
        const std::optional<CodexProject> found = self->m_viewModel.project(project.id);
        if (!found)
            return;
        for (const CodexThread &thread : found->threads()) {
            if (thread.id == threadID) {
                self->m_viewModel.openThread(thread.id, project, QStringLiteral("chat"));
                return;
            }
        }
    };
    actions.newChat = withModel(
        [path, name](ProjectListViewModel &model) { model.startNewChat(path, name); });
    actions.finder =
        withModel([path](ProjectListViewModel &model) { model.revealInFileManager(path); });
    actions.terminal =
        withModel([path](ProjectListViewModel &model) { model.openTerminal(path); });
    return actions;
}

} // namespace tolvaran
