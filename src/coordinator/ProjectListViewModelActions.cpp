// The coordinator's user actions: the access its action components see of it, their
// construction, and the operations that forward to them.
#include "coordinator/ProjectListViewModel.h"

#include "coordinator/CoordinatorAccess.h"
#include "coordinator/actions/ProjectActions.h"
#include "coordinator/actions/ProjectRenamer.h"
#include "coordinator/actions/ProjectTagController.h"
#include "coordinator/actions/ProjectTagEditing.h"
#include "data/catalog/ProjectTagSnapshot.h"
#include "data/catalog/ProjectTagStore.h"
#include "platform/storage/KeyValueStore.h"

namespace tolvaran {

using Self = ProjectListViewModel; // for the announcements of publish()

// MARK: - The user's actions: tags, project actions and renaming
//
// Carried out by ProjectTagController, ProjectActions and ProjectRenamer, which reach the
// published state only through the access below and start their jobs in this object's group.

CoordinatorAccess ProjectListViewModel::actionAccess()
{
    CoordinatorAccess access;
    access.context = this;
    access.work = &m_jobs;
    access.projects = [this] { return m_projects; };
    access.publishProjects = [this](const QList<CodexProject> &projects) {
        publish(&Self::projectsChanged, m_projects, projects);
        updateFilteredProjects(false);
    };
    access.setStatusMessage = [this](const QString &message) { setStatusMessage(message); };
    access.refresh = [this](std::function<void()> done) { refresh(std::move(done)); };
    access.tagState = [this] { return ProjectTagSnapshot{m_tags, m_projectTagIDsByPath}; };
    access.publishTagState = [this](const ProjectTagSnapshot &state) {
        publish(&Self::tagsChanged, m_tags, state.tags);
        publish(&Self::tagsChanged, m_projectTagIDsByPath, state.projectTagIDsByPath);
        updateFilteredProjects(false);
    };
    access.setTagErrorMessage = [this](const std::optional<QString> &message) {
        publish(&Self::tagsChanged, m_tagErrorMessage, message);
    };
    access.selectedTagID = [this] { return m_criteria.selectedTagID; };
    access.setSelectedTagID = [this](const std::optional<QUuid> &id) { setSelectedTagID(id); };
    return access;
}

void ProjectListViewModel::setUpActions()
{
    m_tagController = std::make_unique<ProjectTagController>(actionAccess(), *m_projectTagStore);
    m_actions = std::make_unique<ProjectActions>(
        actionAccess(),
        ProjectActions::Services{*m_actionServices.desktop, *m_actionServices.codexLauncher,
                                 m_projectTagStore->defaults(), *m_globalStateStore,
                                 *m_projectCatalogStore},
        *m_tagController, m_actionServices.clock);
    m_renamer = std::make_unique<ProjectRenamer>(
        actionAccess(),
        ProjectRenamer::Services{*m_store, *m_globalStateStore, *m_projectCatalogStore,
                                 *m_actionServices.codexApplication},
        m_actionServices.clock.now);
}

void ProjectListViewModel::setTagSidebarVisible(bool visible)
{
    if (visible == m_isTagSidebarVisible)
        return;
    publish(&Self::tagsChanged, m_isTagSidebarVisible, visible);
    m_projectTagStore->defaults().setValue(m_projectTagStore->sidebarVisibilityKey(), visible);
}

void ProjectListViewModel::addTag(const QString &name)
{
    m_tagController->addTag(name);
}

void ProjectListViewModel::renameTag(const QUuid &tagID, const QString &name)
{
    m_tagController->renameTag(tagID, name);
}

void ProjectListViewModel::deleteTag(const QUuid &tagID)
{
    m_tagController->deleteTag(tagID);
}

void ProjectListViewModel::toggleTag(const QUuid &tagID, const QString &projectPath)
{
    m_tagController->toggleTag(tagID, projectPath);
}

ProjectTagStatus ProjectListViewModel::projectStatus(const std::optional<QUuid> &tagID) const
{
    return ProjectTagEditing::projectStatus(
        m_projects, ProjectTagSnapshot{m_tags, m_projectTagIDsByPath}, tagID);
}

QList<ProjectTag> ProjectListViewModel::tags(const QString &projectPath) const
{
    return ProjectTagEditing::tagsForProjectPath(
        ProjectTagSnapshot{m_tags, m_projectTagIDsByPath}, projectPath);
}

void ProjectListViewModel::createNewProject(FolderPicker &picker, Completion done)
{
    m_actions->createNewProject(picker, std::move(done));
}

std::optional<QString> ProjectListViewModel::defaultNewProjectParentDirectory() const
{
    return m_actions->newProjectCreator().defaultParentDirectory();
}

void ProjectListViewModel::openThread(const QString &threadID, const ProjectCardSnapshot &project,
                                      const QString &description, Completion done)
{
    m_actions->openThread(threadID, project, description, std::move(done));
}

void ProjectListViewModel::startNewChat(const QString &path, const QString &projectName)
{
    m_actions->startNewChat(path, projectName);
}

void ProjectListViewModel::togglePin(const ProjectCardSnapshot &project, Completion done)
{
    m_actions->togglePin(project, std::move(done));
}

void ProjectListViewModel::renameProject(const CodexProject &project, const QString &newName,
                                         Completion done)
{
    m_renamer->renameProject(project, newName, std::move(done));
}

void ProjectListViewModel::openTerminal(const QString &path)
{
    m_actions->openTerminal(path);
}

void ProjectListViewModel::runTerminalCommand(const QString &folder, const QString &program,
                                              const QStringList &arguments)
{
    m_actions->runTerminalCommand(folder, program, arguments);
}

void ProjectListViewModel::revealInFileManager(const QString &path)
{
    m_actions->revealInFileManager(path);
}

} // namespace tolvaran
