#pragma once

#include "data/catalog/ProjectTagSnapshot.h"
#include "work/WorkGroup.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace tolvaran {

class ProjectTagStore;

// Saves tag snapshots through the tag store on background jobs at utility priority, so that
// the window never waits for the user defaults. Jobs of the thread pool may start in any
// order, but a save never overwrites a newer one: each save carries a generation number, the
// writes run one at a time, and a save whose generation is older than one already written is
// skipped (the newer state is on disk already, which is what the older save would have led
// to). A skipped save reports success.
class ProjectTagSaver final
{
public:
    // The failure sentence, or none when the snapshot (or a newer one) was saved.
    using Completion = std::function<void(const std::optional<QString> &failure)>;
    // Runs on the job before it takes its turn to write; tests hold a save back there, as a
    // busy thread pool may.
    using BeforeSave = std::function<void(const ProjectTagSnapshot &snapshot)>;

    // The store must outlive every save started; the saves run in `work`, which delivers
    // their outcomes only while it lives.
    ProjectTagSaver(ProjectTagStore &store, WorkGroup &work, BeforeSave beforeSave = {});
    ProjectTagSaver(const ProjectTagSaver &) = delete;
    ProjectTagSaver &operator=(const ProjectTagSaver &) = delete;

    // Starts saving `snapshot` and runs `completion` on the work group's thread when it is
    // done, unless the group is gone by then. Call from one thread (the GUI thread).
    void save(const ProjectTagSnapshot &snapshot, Completion completion);

private:
    struct Progress
    {
        std::mutex mutex; // held for the whole of each write
        quint64 writtenGeneration = 0;
    };

    ProjectTagStore &m_store;
    const BeforeSave m_beforeSave;
    WorkGroup &m_work;
    const std::shared_ptr<Progress> m_progress = std::make_shared<Progress>();
    quint64 m_lastGeneration = 0;
};

} // namespace tolvaran
