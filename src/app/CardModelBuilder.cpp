#include "app/CardModelBuilder.h"

#include "coordinator/ProjectListViewModel.h"
#include "team/TeamProjectViewSource.h"

namespace tolvaran {

QList<BrowserCardModel> pageCardModels(const ProjectListViewModel &viewModel,
                                       const TeamProjectViewSource *team)
{
    // Read once per render: each of these walks every project or is shared by every card.
    const bool canRename = viewModel.processingProjectCount() == 0;
    const QList<ProjectTag> &tags = viewModel.tags();
    const QHash<QString, QSet<QUuid>> &tagIDsByPath = viewModel.projectTagIDsByPath();
    const TokenUsageSnapshot &usage = viewModel.tokenUsageSnapshot();
    const std::optional<QString> &selectedID = viewModel.selectedProjectID();

    QList<BrowserCardModel> models;
    models.reserve(viewModel.pagedProjects().size());
    for (const ProjectCardSnapshot &project : viewModel.pagedProjects()) {
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
        model.isSelected = selectedID == project.id;
        models.append(std::move(model));
    }
    return models;
}

} // namespace tolvaran
