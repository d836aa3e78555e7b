// The browser's controls that reach beyond the list: the tag sidebar and its dialogs, the team
// filter, the team button, the commit banner, the sidebar toggle and the new-project button.
// Every handler writes one of the coordinator's (or the team workspace's) values or calls one
// of its operations; the change announcement brings the render that shows the result.
#include "app/window/TolvaranViewController.h"

#include "widgets/BrowserStyle.h"
#include "widgets/ClosureButton.h"
#include "app/window/CommitBannerText.h"
#include "widgets/ElidingLabel.h"
#include "app/cards/RecentChatMenuItem.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"
#include "app/tags/TagDeletionPrompt.h"
#include "app/tags/TagRenameDialog.h"
#include "app/tags/TagSidebar.h"
#include "app/window/TeamButtonPresentation.h"
#include "app/window/TeamFilterOption.h"
#include "coordinator/ProjectListViewModel.h"
#include "team_interface/TeamWorkspaceService.h"

#include <QComboBox>
#include <QLabel>

namespace tolvaran {

namespace {

std::optional<ProjectTag> tagWithID(const QList<ProjectTag> &tags, const QUuid &tagID)
{
    for (const ProjectTag &tag : tags) {
        if (tag.id == tagID)
            return tag;
    }
    return std::nullopt;
}

QColor teamToneColor(TeamButtonPresentation::Tone tone, const QPalette &palette)
{
    switch (tone) {
    case TeamButtonPresentation::Tone::connected:
        return SystemColors::green();
    case TeamButtonPresentation::Tone::connecting:
        return SystemColors::orange();
    case TeamButtonPresentation::Tone::failed:
        return SystemColors::red();
    case TeamButtonPresentation::Tone::off:
        return BrowserStyle::secondaryLabelColor(palette);
    case TeamButtonPresentation::Tone::invitation:
        break;
    }
    return SystemColors::accent(palette);
}

} // namespace

void TolvaranViewController::setOnShowTeams(std::function<void()> onShowTeams)
{
    m_onShowTeams = std::move(onShowTeams);
    scheduleRender();
}

// MARK: render

void TolvaranViewController::renderTeamFilter()
{
    const QList<TeamWorkspaceTeam> teams = m_teamService.enabledTeams();
    // Nothing of teams while none is enabled. The hidden control keeps no filter the user
    // could no longer see or change.
    m_teamFilterButton->setVisible(!teams.isEmpty());

    const QList<TeamFilterOption> options = TeamFilterOption::options(teams);
    QStringList shownIDs;
    for (int i = 0; i < m_teamFilterButton->count(); ++i)
        shownIDs.append(m_teamFilterButton->itemData(i).toString());
    QStringList optionIDs;
    for (const TeamFilterOption &option : options)
        optionIDs.append(option.id);
    // Rebuilt only when the ids change: a team renamed alone keeps its old title until then.
    if (shownIDs != optionIDs) {
        m_teamFilterButton->clear();
        for (const TeamFilterOption &option : options)
            m_teamFilterButton->addItem(option.title, option.id);
    }
    // A filter whose team is gone is returned to "all" by the coordinator itself.
    const qsizetype chosen = optionIDs.indexOf(m_viewModel.teamFilterID());
    m_teamFilterButton->setCurrentIndex(int(std::max<qsizetype>(chosen, 0)));
}

void TolvaranViewController::renderTeamControl()
{
    const bool hasMemberships = m_teamService.hasTeamMemberships();
    // Without a membership the button would invite the user to add or join a team, which
    // needs the teams' screens.
    m_teamButton->setVisible(hasMemberships || m_onShowTeams);
    if (m_teamButton->isHidden())
        return;
    const TeamButtonPresentation presentation = TeamButtonPresentation::forWorkspace(
        hasMemberships, m_teamService.teamName(), m_teamService.connectionState());
    const QColor color = teamToneColor(presentation.tone, m_teamButton->palette());
    m_teamButton->setText(presentation.title);
    m_teamButton->setIcon(tintedSymbolIcon(presentation.symbolName, color));
    m_teamButton->setToolButtonStyle(presentation.imageOnly ? Qt::ToolButtonIconOnly
                                                            : Qt::ToolButtonTextBesideIcon);
    // Read as what it shows: the teams' activity, or the invitation to add or join one; the
    // description adds the connection the tooltip names.
    m_teamButton->setAccessibleName(presentation.accessibleDescription);
    m_teamButton->setAccessibleDescription(
        presentation.toolTip == presentation.accessibleDescription ? QString()
                                                                   : presentation.toolTip);
    m_teamButton->setToolTip(presentation.toolTip);
    QPalette palette = m_teamButton->palette();
    palette.setColor(QPalette::ButtonText, color);
    m_teamButton->setPalette(palette);
}

void TolvaranViewController::renderCommitBanner()
{
    const std::optional<CommitBannerText> banner =
        CommitBannerText::forNotifications(m_teamService.commitNotifications());
    m_commitBanner->setVisible(banner.has_value());
    if (!banner)
        return;
    m_commitTitle->setText(banner->title);
    m_commitSubtitle->setText(banner->subtitle);
}

void TolvaranViewController::renderSidebar()
{
    SidebarSignature signature;
    signature.tags = m_viewModel.tags();
    for (const ProjectTag &tag : signature.tags)
        signature.statuses.insert(tag.id, m_viewModel.projectStatus(tag.id));
    signature.selectedTagID = m_viewModel.selectedTagID();
    signature.allProjectsStatus = m_viewModel.projectStatus(std::nullopt);
    m_sidebar->setSignature(signature);

    // A tag error that no handler saw (a save that failed in the background) shows where the
    // tags are edited; one that went away (a later change was applied) goes with it.
    const std::optional<QString> &error = m_viewModel.tagErrorMessage();
    if (error != m_lastTagError) {
        m_lastTagError = error;
        m_sidebar->setMessage(error);
    }
}

// MARK: card actions

ProjectCardActions TolvaranViewController::actions(const ProjectCardSnapshot &project)
{
    // Every closure reads the controller once into a local pointer, checked before use.
    const QPointer<TolvaranViewController> weakController(this);
    // A closure that runs `work` with the coordinator while the controller exists.
    const auto withModel = [weakController](auto work) {
        return [weakController, work] {
            if (TolvaranViewController *controller = weakController.data())
                work(controller->m_viewModel);
        };
    };
    const QString id = project.id;
    const QString path = project.path;
    const QString name = project.name;

    ProjectCardActions actions;
    actions.recentChats = recentChatMenuItems(m_viewModel.project(id), project);
    actions.openDetails = [weakController, id] {
        TolvaranViewController *controller = weakController.data();
        if (!controller)
            return;
        controller->m_viewModel.setSelectedProjectID(id);
        if (controller->m_onOpenProject)
            controller->m_onOpenProject(id);
    };
    // Looked up when the user confirms: the id (the path) outlives a rename of the project.
    actions.renameProject = [weakController, id](const QString &newName) {
        TolvaranViewController *controller = weakController.data();
        if (!controller)
            return;
        if (const std::optional<CodexProject> found = controller->m_viewModel.project(id))
            controller->m_viewModel.renameProject(*found, newName);
    };
    actions.toggleTag = [weakController, path](const QUuid &tagID) {
        if (TolvaranViewController *controller = weakController.data())
            controller->m_viewModel.toggleTag(tagID, path);
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
    actions.openRecentChat = [weakController, project](const QString &threadID) {
        TolvaranViewController *controller = weakController.data();
        if (!controller)
            return;
        const std::optional<CodexProject> found = controller->m_viewModel.project(project.id);
        if (!found)
            return;
        for (const CodexThread &thread : found->threads()) {
            if (thread.id == threadID) {
                controller->m_viewModel.openThread(thread.id, project, QStringLiteral("chat"));
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

// MARK: handlers

void TolvaranViewController::toggleTagSidebar()
{
    m_viewModel.setTagSidebarVisible(!m_viewModel.isTagSidebarVisible());
}

void TolvaranViewController::createNewProject()
{
    m_viewModel.createNewProject(m_folderPicker);
}

void TolvaranViewController::showTeams()
{
    if (m_onShowTeams)
        m_onShowTeams();
}

void TolvaranViewController::selectTag(const std::optional<QUuid> &tagID)
{
    // The coordinator re-filters from the first page on every assignment.
    m_viewModel.setSelectedTagID(tagID);
}

void TolvaranViewController::teamFilterChanged(int index)
{
    const QVariant id = m_teamFilterButton->itemData(index);
    if (id.typeId() != QMetaType::QString)
        return;
    m_viewModel.setTeamFilterID(id.toString());
}

void TolvaranViewController::dismissCommitNotification()
{
    const QList<TeamCommitEvent> notifications = m_teamService.commitNotifications();
    if (!notifications.isEmpty())
        m_teamService.dismissCommitNotification(notifications.first());
}

void TolvaranViewController::addTagFromField(const QString &name)
{
    m_viewModel.addTag(name);
    // A refused name keeps its text in the field, with the reason right below it.
    m_lastTagError = m_viewModel.tagErrorMessage();
    m_sidebar->setMessage(m_lastTagError);
    if (!m_lastTagError)
        m_sidebar->clearNewTagText();
}

void TolvaranViewController::renameTagFromMenu(const QUuid &tagID)
{
    const std::optional<ProjectTag> tag = tagWithID(m_viewModel.tags(), tagID);
    if (!tag)
        return;
    // The dialog keeps only the id; the tag is looked up again when the user confirms.
    auto submit = [weakController = QPointer(this), tagID](const QString &name)
        -> std::optional<QString> {
        TolvaranViewController *controller = weakController.data();
        if (!controller || !tagWithID(controller->m_viewModel.tags(), tagID))
            return std::nullopt; // nothing left to rename: the dialog just closes
        controller->m_viewModel.renameTag(tagID, name);
        controller->m_lastTagError = controller->m_viewModel.tagErrorMessage();
        return controller->m_lastTagError;
    };
    auto *dialog = new TagRenameDialog(tag->name, std::move(submit), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void TolvaranViewController::deleteTagFromMenu(const QUuid &tagID)
{
    const std::optional<ProjectTag> tag = tagWithID(m_viewModel.tags(), tagID);
    if (!tag)
        return;
    openTagDeletionPrompt(this, tag->name, [weakController = QPointer(this), tagID] {
        if (TolvaranViewController *controller = weakController.data())
            controller->m_viewModel.deleteTag(tagID);
    });
}

} // namespace tolvaran
