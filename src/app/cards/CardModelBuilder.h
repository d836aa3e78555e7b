#pragma once

#include "app/cards/BrowserCardModel.h"

#include <QList>

namespace tolvaran {

class ProjectListViewModel;
class TeamProjectViewSource;

// The card values of the coordinator's current page, in page order, as one render sees them:
// git status, tags, weekly usage, selection and the rename permission from the coordinator;
// teammates, team names and local activity from `team` (none without one). Renaming is
// allowed on every card exactly when no project at all, shown or not, has Codex at work.
QList<BrowserCardModel> pageCardModels(const ProjectListViewModel &viewModel,
                                       const TeamProjectViewSource *team);

// The card values of one project as pageCardModels() gives them; `canRename` is
// cardsCanRename() of the same coordinator state.
BrowserCardModel cardModel(const ProjectListViewModel &viewModel,
                           const TeamProjectViewSource *team, const ProjectCardSnapshot &project,
                           bool canRename);
bool cardsCanRename(const ProjectListViewModel &viewModel);

} // namespace tolvaran
