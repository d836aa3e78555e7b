#include "coordinator/actions/ProjectTagSaver.h"

#include "data/catalog/ProjectTagError.h"
#include "data/catalog/ProjectTagStore.h"

namespace tolvaran {

ProjectTagSaver::ProjectTagSaver(ProjectTagStore &store, WorkGroup &work,
                                 BeforeSave beforeSave)
    : m_store(store)
    , m_beforeSave(std::move(beforeSave))
    , m_work(work)
{
}

void ProjectTagSaver::save(const ProjectTagSnapshot &snapshot, Completion completion)
{
    const quint64 generation = ++m_lastGeneration;
    // A save is not cancelled by a stop request: it is short, and dropping it on quitting
    // would lose the user's last edit.
    m_work.run<std::optional<QString>>(
        JobPriority::utility,
        [store = &m_store, progress = m_progress, beforeSave = m_beforeSave, generation,
         snapshot](const WorkContext &) {
            if (beforeSave)
                beforeSave(snapshot);
            std::optional<QString> failure;
            {
                const std::lock_guard lock(progress->mutex);
                if (generation > progress->writtenGeneration) {
                    try {
                        store->save(snapshot);
                        progress->writtenGeneration = generation;
                    } catch (const Error &error) {
                        failure = error.message();
                    } catch (...) {
                        failure = ProjectTagError(ProjectTagError::Kind::storageFailure).message();
                    }
                }
            }
            return failure;
        },
        [completion = std::move(completion)](std::optional<QString> failure) {
            if (completion)
                completion(failure);
        });
}

} // namespace tolvaran
