#include "coordinator/ProjectTagSaver.h"

#include "data/ProjectTagError.h"
#include "data/ProjectTagStore.h"

namespace tolvaran {

ProjectTagSaver::ProjectTagSaver(ProjectTagStore &store, BeforeSave beforeSave,
                                 JobRunner runJob)
    : m_store(store)
    , m_beforeSave(std::move(beforeSave))
    , m_runJob(std::move(runJob))
{
}

void ProjectTagSaver::save(const ProjectTagSnapshot &snapshot, QObject *context,
                           Completion completion)
{
    const quint64 generation = ++m_lastGeneration;
    m_runJob(JobPriority::utility, [store = &m_store, progress = m_progress,
                                           beforeSave = m_beforeSave, generation, snapshot,
                                           context, completion = std::move(completion)] {
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
        postTo(context, [completion, failure] {
            if (completion)
                completion(failure);
        });
    });
}

} // namespace tolvaran
