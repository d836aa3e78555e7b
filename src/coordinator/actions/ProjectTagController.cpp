#include "coordinator/actions/ProjectTagController.h"

#include "coordinator/actions/ProjectTagEditing.h"
#include "data/catalog/ProjectTagError.h"

namespace tolvaran {

ProjectTagController::ProjectTagController(CoordinatorAccess access, ProjectTagStore &store,
                                           ProjectTagSaver::BeforeSave beforeSave)
    : m_access(std::move(access))
    , m_saver(store, *m_access.work, std::move(beforeSave))
{
}

void ProjectTagController::addTag(const QString &name)
{
    try {
        saveTags(ProjectTagEditing::addingTag(m_access.tagState(), name));
    } catch (const ProjectTagError &error) {
        m_access.setTagErrorMessage(error.message());
    }
}

void ProjectTagController::renameTag(const QUuid &tagID, const QString &name)
{
    try {
        if (const auto next = ProjectTagEditing::renamingTag(m_access.tagState(), tagID, name))
            saveTags(*next);
    } catch (const ProjectTagError &error) {
        m_access.setTagErrorMessage(error.message());
    }
}

void ProjectTagController::deleteTag(const QUuid &tagID)
{
    saveTags(ProjectTagEditing::deletingTag(m_access.tagState(), tagID));
    if (m_access.selectedTagID() == tagID)
        m_access.setSelectedTagID(std::nullopt);
}

void ProjectTagController::toggleTag(const QUuid &tagID, const QString &projectPath)
{
    if (const auto next = ProjectTagEditing::togglingTag(m_access.tagState(), tagID, projectPath))
        saveTags(*next);
}

void ProjectTagController::saveTags(const ProjectTagSnapshot &state,
                                    std::function<void()> completion)
{
    const ProjectTagSnapshot previous = m_access.tagState();
    m_access.publishTagState(state);
    m_access.setTagErrorMessage(std::nullopt);
    // Delivered only while the work group, and so the owner of the access, lives.
    m_saver.save(state,
                 [access = m_access, state, previous,
                  completion = std::move(completion)](const std::optional<QString> &failure) {
                     if (failure && access.tagState() == state) {
                         access.publishTagState(previous);
                         access.setTagErrorMessage(*failure);
                     }
                     if (completion)
                         completion();
                 });
}

} // namespace tolvaran
