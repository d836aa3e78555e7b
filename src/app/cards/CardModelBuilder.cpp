#include "app/cards/CardModelBuilder.h"

#include "coordinator/ProjectListViewModel.h"
#include "team/view/TeamProjectViewSource.h"

namespace tolvaran {

BrowserCardModel cardModel(const ProjectListViewModel &viewModel,
                           const TeamProjectViewSource *team, const ProjectCardSnapshot &project,
                           bool canRename)
{
    const QList<ProjectTag> &tags = viewModel.tags();
    const QHash<QString, QSet<QUuid>> &tagIDsByPath = viewModel.projectTagIDsByPath();
    const TokenUsageSnapshot &usage = viewModel.tokenUsageSnapshot();

    BrowserCardModel model;
    model.project = project;
    const auto status = viewModel.projectGitStatuses().constFind(project.path);
    if (status != viewModel.projectGitStatuses().constEnd())
        model.gitStatus = *status;
    if (team) {
        model.teamSummary = team->summary(project.path);
        model.localActivity = team->localActivity(project.path);
        model.teamNames = team->teamNames(project.path);
    }
    const auto assigned = tagIDsByPath.constFind(project.path);
    if (assigned != tagIDsByPath.constEnd()) {
        for (const ProjectTag &tag : tags) {
            if (assigned->contains(tag.id))
                model.assignedTags.append(tag);
        }
    }
    model.availableTags = tags;
    const auto report = usage.projects.constFind(project.path);
    model.weeklyTokens = report != usage.projects.constEnd() ? report->weeklyWindowTokens : 0;
    model.weeklyShare = usage.weeklyAllowanceContribution(project.path);
    model.canRename = canRename;
    model.isSelected = viewModel.selectedProjectID() == project.id;
    return model;
}

bool cardsCanRename(const ProjectListViewModel &viewModel)
{
    return viewModel.processingProjectCount() == 0;
}

QList<BrowserCardModel> pageCardModels(const ProjectListViewModel &viewModel,
                                       const TeamProjectViewSource *team)
{
    // Read once per render: it walks every project.
    const bool canRename = cardsCanRename(viewModel);
    QList<BrowserCardModel> models;
    models.reserve(viewModel.pagedProjects().size());
    for (const ProjectCardSnapshot &project : viewModel.pagedProjects())
        models.append(cardModel(viewModel, team, project, canRename));
    return models;
}

} // namespace tolvaran
