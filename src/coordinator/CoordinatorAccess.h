#pragma once

#include "data/CodexProject.h"
#include "data/ProjectTagSnapshot.h"
#include "platform/BackgroundJob.h"

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
// thread of `context`, which is also where background results are applied: a result that
// arrives after `context` is gone is dropped.
struct CoordinatorAccess
{
    using JobRunner = std::function<void(JobPriority priority, std::function<void()> job)>;

    QObject *context = nullptr;
    // Starts a background job. The coordinator counts its jobs and waits for them before its
    // stores go away; a job must not throw, and hands its result back with postTo(context).
    JobRunner runJob = &runInBackground;

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
