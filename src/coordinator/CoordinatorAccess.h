#pragma once

#include "data/catalog/CodexProject.h"
#include "data/catalog/ProjectTagSnapshot.h"
#include "work/WorkGroup.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

namespace tolvaran {

// What the coordinator's action components (tags, project actions, renaming) read and change
// of the coordinator's published state. The coordinator fills it with its own getters and
// setters; tests fill it with a plain record of values. Every function is called on the
// thread of `context`, which is also where background results are applied.
struct CoordinatorAccess
{
    QObject *context = nullptr;
    // The owner's work group: every background job of a component runs in it, so that its
    // result is delivered only while the owner lives, and quitting cancels it (and waits only
    // for it to notice) before the stores go away.
    WorkGroup *work = nullptr;

    std::function<QList<CodexProject>()> projects;
    // Publishes `projects` and re-filters the list without resetting the page.
    std::function<void(const QList<CodexProject> &projects)> publishProjects;
    std::function<void(const QString &message)> setStatusMessage;
    // A full refresh; `completion` runs once it has ended (at once when one is running).
    std::function<void(std::function<void()> completion)> refresh;

    // The tags and their assignments as published.
    std::function<ProjectTagSnapshot()> tagState;
    // Publishes tags and assignments and re-filters the list without resetting the page.
    std::function<void(const ProjectTagSnapshot &state)> publishTagState;
    std::function<void(const std::optional<QString> &message)> setTagErrorMessage;
    std::function<std::optional<QUuid>()> selectedTagID;
    // Assigning the selected tag re-filters the list from its first page.
    std::function<void(const std::optional<QUuid> &tagID)> setSelectedTagID;
};

} // namespace tolvaran
