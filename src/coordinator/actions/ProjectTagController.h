#pragma once

#include "coordinator/CoordinatorAccess.h"
#include "coordinator/actions/ProjectTagSaver.h"

#include <QString>
#include <QUuid>

#include <functional>

namespace tolvaran {

class ProjectTagStore;

// The user's tag edits as the coordinator carries them out: every accepted change is published
// at once (clearing the tag error) and then saved in the background; a refused name sets the
// tag error and changes nothing. When a save fails and the published tags are still the ones
// it saved, the tags before the change come back with the store's sentence as the tag error;
// when the user has changed the tags again meanwhile, the newer state stays and the failure
// is dropped.
class ProjectTagController final
{
public:
    // The store must outlive the controller and every save it started.
    ProjectTagController(CoordinatorAccess access, ProjectTagStore &store,
                         ProjectTagSaver::BeforeSave beforeSave = {});

    void addTag(const QString &name);
    void renameTag(const QUuid &tagID, const QString &name);
    void deleteTag(const QUuid &tagID);
    void toggleTag(const QUuid &tagID, const QString &projectPath);

    // Publishes `state` and saves it; `completion` runs once the save has ended (whatever its
    // outcome) and the outcome has been applied.
    void saveTags(const ProjectTagSnapshot &state, std::function<void()> completion = {});

private:
    CoordinatorAccess m_access;
    ProjectTagSaver m_saver;
};

} // namespace tolvaran
