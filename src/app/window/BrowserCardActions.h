#pragma once

#include "app/cards/ProjectCardActions.h"
#include "data/catalog/ProjectCardSnapshot.h"

#include <QObject>
#include <QString>

#include <functional>

namespace tolvaran {

class ProjectListViewModel;

// What one card's buttons and menus do, through the coordinator's operations. Each action
// holds this object weakly (a child of the browser, so an action outliving the browser does
// nothing) and carries its own copy of the card's values; it looks the project up again by
// its id (the path) when used, so actions made before a rename or a refresh still find it.
class BrowserCardActions final : public QObject
{
    Q_OBJECT

public:
    BrowserCardActions(ProjectListViewModel &viewModel,
                       std::function<void(const QString &projectID)> onOpenProject,
                       QObject *parent);

    // Receives a project's id when the user opens its details.
    void setOnOpenProject(std::function<void(const QString &projectID)> onOpenProject);

    ProjectCardActions forProject(const ProjectCardSnapshot &project);

private:
    ProjectListViewModel &m_viewModel;
    std::function<void(const QString &)> m_onOpenProject;
};

} // namespace tolvaran
