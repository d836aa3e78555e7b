#include "coordinator/actions/ProjectRenamer.h"

#include "coordinator/actions/CodexProjectRenameError.h"
#include "data/codex/CodexGlobalStateStore.h"
#include "data/codex/CodexGlobalStateStoreError.h"
#include "data/codex/CodexStore.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "platform/desktop/CodexApplicationController.h"
#include "platform/Error.h"
#include "platform/Graphemes.h"
#include "coordinator/CoordinatorLogging.h"
#include "platform/Paths.h"

#include <variant>

namespace tolvaran {

namespace {

bool isValidProjectName(const QString &trimmed)
{
    const qsizetype length = graphemeCount(trimmed);
    return length >= 1 && length <= CodexGlobalStateStore::maximumProjectNameLength;
}

// Starts again the Codex the rename closed. When the program quits meanwhile, the result may
// never be delivered: the run records the attempt here, so the renamer's destructor does not
// start Codex a second time (it reads the run only after the work group has waited for this).
DesktopActionResult reopen(CodexApplicationController &codex,
                           const std::shared_ptr<ProjectRenamer::Run> &run)
{
    const DesktopActionResult result = codex.reopen(*run->reopenTarget);
    run->reopenAttempted = true;
    return result;
}

} // namespace

template <typename Work, typename Then>
void ProjectRenamer::inBackground(Work work, Then then)
{
    using Result = std::decay_t<std::invoke_result_t<Work, const WorkContext &>>;
    m_access.work->run<Result>(JobPriority::userInitiated, std::move(work),
                               [then](Result result) { then(result); });
}

ProjectRenamer::ProjectRenamer(CoordinatorAccess access, Services services,
                               std::function<Timestamp()> now)
    : m_access(std::move(access))
    , m_services(services)
    , m_now(std::move(now))
{
}

ProjectRenamer::~ProjectRenamer()
{
    // The program quits while this rename waits on the GUI thread with Codex closed (for the
    // refresh that reads the new name, or for a reopen whose result will not be delivered):
    // Codex is started again, as every failure after closing it does. Starting it detached
    // returns at once, so quitting does not wait for it.
    if (m_run && m_run->reopenTarget && !m_run->reopenAttempted)
        m_services.codexApplication.reopen(*m_run->reopenTarget);
}

void ProjectRenamer::renameProject(const CodexProject &project, const QString &newName,
                                   std::function<void()> completion)
{
    const auto refuse = [this, &completion](const QString &message) {
        m_access.setStatusMessage(message);
        if (completion)
            completion();
    };
    if (!project.codexProjectID()) {
        refuse(QStringLiteral(
            "Codex has not assigned this project an editable project record yet."));
        return;
    }
    // Checked here, before Codex is closed: the global state would refuse the name anyway,
    // but only after Codex had been quit for nothing.
    const QString name = newName.trimmed();
    if (!isValidProjectName(name)) {
        refuse(errorMessage(CodexGlobalStateStoreErrorKind::invalidProjectName));
        return;
    }
    if (m_isRenaming) {
        refuse(CodexProjectRenameError(CodexProjectRenameError::Kind::renameInProgress)
                   .message());
        return;
    }

    m_isRenaming = true;
    m_run = std::make_shared<Run>(
        Run{project, *project.codexProjectID(), name, std::nullopt, false,
            std::move(completion)});
    checkActivity(m_run);
}

void ProjectRenamer::checkActivity(const RunPointer &run)
{
    m_access.setStatusMessage(QStringLiteral("Checking Codex activity..."));
    const Timestamp since = m_now().addingSeconds(-activityWindowSeconds);
    CodexStore &store = m_services.store;
    inBackground(
        [&store, since](const WorkContext &) -> std::variant<bool, QString> {
            try {
                // Every thread, archived ones included: work in any project blocks the rename.
                QList<CodexThread> recent;
                for (const CodexThread &thread : store.loadThreads(true)) {
                    if (thread.updatedAt >= since)
                        recent.append(thread);
                }
                return !store.activityStore().processingThreadIDs(recent).isEmpty();
            } catch (const std::exception &error) {
                return messageOf(error);
            }
        },
        [this, run](const std::variant<bool, QString> &outcome) {
            if (const auto *failure = std::get_if<QString>(&outcome))
                finish(run, *failure);
            else if (std::get<bool>(outcome))
                finish(run, QStringLiteral("Codex is working. Wait for all active tasks to "
                                           "finish before renaming a project."));
            else
                closeCodex(run);
        });
}

void ProjectRenamer::closeCodex(const RunPointer &run)
{
    m_access.setStatusMessage(QStringLiteral("Closing Codex to rename ") + run->project.name()
                              + QStringLiteral("..."));
    CodexApplicationController &codex = m_services.codexApplication;
    inBackground(
        [&codex, run](const WorkContext &work) {
            CodexApplicationQuitResult result = codex.quitAll(work.stopToken());
            // Stopped (the program quits): this result is never delivered, so the instance to
            // start again goes where the renamer's destructor finds it. The GUI thread reads
            // the run only after the work group has waited for this job.
            if (work.stopRequested())
                run->reopenTarget = result.reopenTarget();
            return result;
        },
                 [this, run](const CodexApplicationQuitResult &result) {
                     if (!result.allQuit()) {
                         // Those asked may still be quitting: starting one again now could
                         // meet it on its way out, so Codex is left to the user.
                         finish(run, CodexProjectRenameError(
                                         CodexProjectRenameError::Kind::couldNotCloseCodex)
                                         .message());
                         return;
                     }
                     run->reopenTarget = result.reopenTarget();
                     writeName(run);
                 });
}

void ProjectRenamer::writeName(const RunPointer &run)
{
    Services services = m_services;
    inBackground(
        [services, id = run->codexProjectID, name = run->name,
         path = run->project.path()](const WorkContext &) -> std::optional<QString> {
            // Not cancelled: the write is short, and it is what the user asked for. Quitting
            // meanwhile leaves the reopening of Codex to the renamer's destructor.
            try {
                services.globalStateStore.setProjectName(id, name);
            } catch (const std::exception &error) {
                return messageOf(error);
            }
            try {
                services.projectCatalogStore.updateProject(standardizedPath(path), name,
                                                           std::nullopt);
            } catch (const std::exception &error) {
                // Our own record; the next full refresh takes the name from Codex again.
                qCWarning(lcCoordinator) << "The catalog kept the old project name:"
                                         << error.what();
            }
            return std::nullopt;
        },
        [this, run](const std::optional<QString> &failure) {
            if (failure) {
                failAfterClosing(run, *failure);
                return;
            }
            // Read while Codex is still closed, so the list shows the new name at once.
            m_access.refresh([this, run] { reopenCodex(run); });
        });
}

void ProjectRenamer::reopenCodex(const RunPointer &run)
{
    const QString renamed = QStringLiteral("Renamed project to ") + run->name + QLatin1Char('.');
    if (!run->reopenTarget) {
        finish(run, renamed);
        return;
    }
    CodexApplicationController &codex = m_services.codexApplication;
    inBackground([&codex, run](const WorkContext &) { return reopen(codex, run); },
                 [this, run, renamed](const DesktopActionResult &reopened) {
                     if (reopened.opened()) {
                         run->reopenTarget.reset();
                         finish(run, renamed);
                     } else {
                         failAfterClosing(run, reopened.message);
                     }
                 });
}

void ProjectRenamer::failAfterClosing(const RunPointer &run, const QString &message)
{
    if (!run->reopenTarget) {
        finish(run, message);
        return;
    }
    CodexApplicationController &codex = m_services.codexApplication;
    inBackground([&codex, run](const WorkContext &) { return reopen(codex, run); },
                 [this, run, message](const DesktopActionResult &) {
                     run->reopenTarget.reset();
                     finish(run, message);
                 });
}

void ProjectRenamer::finish(const RunPointer &run, const QString &message)
{
    m_access.setStatusMessage(message);
    m_isRenaming = false;
    m_run.reset();
    if (run->completion)
        run->completion();
}

} // namespace tolvaran
