#pragma once

#include "coordinator/CoordinatorAccess.h"
#include "data/catalog/CodexProject.h"
#include "platform/desktop/CodexApplicationInstance.h"
#include "platform/Timestamp.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace tolvaran {

class CodexApplicationController;
class CodexGlobalStateStore;
class CodexStore;
class ProjectCatalogStore;

// Renames a project in Codex's own records. Codex keeps its global state in memory and would
// write its old names back, so the name is written only while the Codex application is closed:
// the rename checks that no Codex task is working, quits every running instance, writes the
// name to Codex's global state and to the catalog, refreshes the list, and starts the instance
// it closed again. Progress and outcome appear only in the coordinator's status message.
//
// The name is checked before anything else happens, so an invalid name closes nothing, and
// one rename runs at a time. Whatever fails after Codex was closed, the instance is started
// again; an instance that does not quit is left alone and nothing is written.
class ProjectRenamer final
{
public:
    // Threads updated this long before now or later are checked for running tasks.
    static constexpr double activityWindowSeconds = 86400.0;

    struct Services
    {
        CodexStore &store;
        CodexGlobalStateStore &globalStateStore;
        ProjectCatalogStore &projectCatalogStore;
        CodexApplicationController &codexApplication;
    };

    // Every service must outlive the renamer and every job it starts.
    ProjectRenamer(CoordinatorAccess access, Services services,
                   std::function<Timestamp()> now = &Timestamp::now);
    // Starts Codex again when a rename in progress had closed it. Destroy the renamer after
    // its work group has stopped its jobs (a job that stops with Codex closed reopens it).
    ~ProjectRenamer();
    ProjectRenamer(const ProjectRenamer &) = delete;
    ProjectRenamer &operator=(const ProjectRenamer &) = delete;

    bool isRenaming() const { return m_isRenaming; }

    // Renames `project` to `newName` (as typed; it is trimmed). `completion` runs once the
    // rename has ended, whatever its outcome.
    void renameProject(const CodexProject &project, const QString &newName,
                       std::function<void()> completion = {});

    struct Run
    {
        CodexProject project;
        QString codexProjectID;
        QString name; // trimmed
        std::optional<CodexApplicationInstance> reopenTarget; // set while Codex is closed by us
        bool reopenAttempted = false; // a job has started Codex again
        std::function<void()> completion;
    };
    using RunPointer = std::shared_ptr<Run>;

private:

    void checkActivity(const RunPointer &run);
    void closeCodex(const RunPointer &run);
    void writeName(const RunPointer &run);
    void reopenCodex(const RunPointer &run);
    // Starts Codex again when this rename closed it, then reports `message`.
    void failAfterClosing(const RunPointer &run, const QString &message);
    void finish(const RunPointer &run, const QString &message);

    // Runs `work` on a background job and `then` with its result on the context's thread,
    // unless the work group is gone by then.
    template <typename Work, typename Then>
    void inBackground(Work work, Then then);

    CoordinatorAccess m_access;
    Services m_services;
    std::function<Timestamp()> m_now;
    bool m_isRenaming = false;
    RunPointer m_run; // the rename in progress
};

} // namespace tolvaran
