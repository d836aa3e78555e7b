#include "coordinator/actions/ProjectActions.h"

#include "coordinator/ProjectListEdits.h"
#include "coordinator/actions/ProjectTagController.h"
#include "coordinator/actions/ProjectTagEditing.h"
#include "data/codex/CodexGlobalStateStore.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "platform/desktop/CodexLauncher.h"
#include "platform/desktop/DesktopServices.h"
#include "platform/Error.h"
#include "coordinator/CoordinatorLogging.h"
#include "platform/Paths.h"

#include <algorithm>
#include <variant>

namespace tolvaran {

namespace {

using Status = DesktopActionResult::Status;

// The status for a Codex chat that did not open. The sentences that already say what failed
// stand alone; the others say it was Codex that could not be started.
QString codexFailureMessage(const DesktopActionResult &result)
{
    if (result.status == Status::InvalidLink || result.status == Status::CodexNotFound)
        return result.message;
    return QStringLiteral("Could not launch Codex: ") + result.message;
}

std::optional<QString> tagName(const ProjectTagSnapshot &state, const std::optional<QUuid> &id)
{
    if (!id)
        return std::nullopt;
    const auto tag = std::find_if(state.tags.cbegin(), state.tags.cend(),
                                  [&id](const ProjectTag &t) { return t.id == *id; });
    return tag == state.tags.cend() ? std::nullopt : std::optional<QString>(tag->name);
}

// The catalog is our own record and the next full refresh writes it again, so its failures
// never fail an action.
template <typename Write>
void writeCatalog(Write &&write)
{
    try {
        write();
    } catch (const std::exception &error) {
        qCWarning(lcCoordinator) << "The project catalog was not updated:" << error.what();
    }
}

} // namespace

ProjectActions::ProjectActions(CoordinatorAccess access, Services services,
                               ProjectTagController &tags, CoordinatorClock clock)
    : m_access(std::move(access))
    , m_services(services)
    , m_tags(tags)
    , m_clock(std::move(clock))
    , m_creator(services.defaults, services.projectCatalogStore, m_clock.now)
{
}

void ProjectActions::createNewProject(FolderPicker &picker, std::function<void()> completion)
{
    const std::optional<QUuid> selectedTagID = m_access.selectedTagID();
    const std::optional<QString> selectedTagName = tagName(m_access.tagState(), selectedTagID);
    m_creator.chooseAndCreate(
        picker, selectedTagName, m_access.context,
        [this, completion = std::move(completion)](const NewProjectCreator::Outcome &outcome) {
            if (outcome.statusMessage)
                m_access.setStatusMessage(*outcome.statusMessage);
            if (outcome.createdPath) {
                const QString &path = *outcome.createdPath;
                // The tag selected now, which is the one the dialog announced unless the user
                // changed it while the dialog was open.
                if (const std::optional<QUuid> tagID = m_access.selectedTagID())
                    m_tags.saveTags(
                        ProjectTagEditing::assigningTag(m_access.tagState(), *tagID, path));
                startNewChat(path, outcome.projectName);
                m_clock.runAfter(m_access.context, newProjectRefreshDelay,
                                 [refresh = m_access.refresh] { refresh({}); });
            }
            if (completion)
                completion();
        });
}

void ProjectActions::openThread(const QString &threadID, const ProjectCardSnapshot &project,
                                const QString &description, std::function<void()> completion)
{
    // The outcome is applied through copies of the access and the services, which outlive
    // the work group, never through this object.
    m_access.work->run<DesktopActionResult>(
        JobPriority::userInitiated,
        [services = m_services, threadID, path = project.path](const WorkContext &work) {
            return services.codexLauncher.openThread(threadID, path, work.stopToken());
        },
        [access = m_access, services = m_services, threadID, project, description,
         completion = std::move(completion)](const DesktopActionResult &opened) mutable {
            if (!opened.opened()) {
                access.setStatusMessage(codexFailureMessage(opened));
                if (completion)
                    completion();
                return;
            }
            access.setStatusMessage(QStringLiteral("Opening ") + project.name
                                    + QStringLiteral("'s ") + description
                                    + QStringLiteral(" in Codex..."));
            // The card's view of the project decides, even when the list has moved on since.
            if (!project.unreadThreadIDs.contains(threadID)) {
                if (completion)
                    completion();
                return;
            }
            markThreadRead(access, services, threadID, project.path, std::move(completion));
        });
}

void ProjectActions::markThreadRead(const CoordinatorAccess &access, const Services &services,
                                    const QString &threadID, const QString &path,
                                    std::function<void()> completion)
{
    access.work->run<std::optional<QString>>(
        JobPriority::userInitiated,
        [services, threadID](const WorkContext &) -> std::optional<QString> {
            try {
                services.globalStateStore.markThreadRead(threadID);
                writeCatalog([&] { services.projectCatalogStore.markThreadRead(threadID); });
            } catch (const std::exception &error) {
                return messageOf(error);
            }
            return std::nullopt;
        },
        [access, threadID, path,
         completion = std::move(completion)](const std::optional<QString> &failure) {
            if (failure)
                access.setStatusMessage(*failure);
            else
                access.publishProjects(
                    ProjectListEdits::withThreadRead(access.projects(), path, threadID));
            if (completion)
                completion();
        });
}

void ProjectActions::startNewChat(const QString &path, const QString &projectName)
{
    runDesktopAction(
        [launcher = &m_services.codexLauncher, path](const std::stop_token &stopToken) {
            return launcher->startNewChat(path, stopToken);
        },
        [access = m_access, projectName](const DesktopActionResult &opened) {
            access.setStatusMessage(opened.opened()
                                        ? QStringLiteral("Opening a new Codex chat for ")
                                            + projectName + QStringLiteral("...")
                                        : codexFailureMessage(opened));
        });
}

void ProjectActions::runDesktopAction(
    std::function<DesktopActionResult(const std::stop_token &)> open,
    std::function<void(const DesktopActionResult &)> then)
{
    // Opening may run a query program first (the desktop's handler of Codex's links): never
    // on the GUI thread.
    m_access.work->run<DesktopActionResult>(
        JobPriority::userInitiated,
        [open = std::move(open)](const WorkContext &work) { return open(work.stopToken()); },
        [then = std::move(then)](DesktopActionResult opened) { then(opened); });
}

void ProjectActions::togglePin(const ProjectCardSnapshot &project,
                               std::function<void()> completion)
{
    const bool pinned = !project.isPinned;
    m_access.publishProjects(ProjectListEdits::withPin(m_access.projects(), project.path, pinned));

    using Outcome = std::variant<QSet<QString>, QString>;
    m_access.work->run<Outcome>(
        JobPriority::userInitiated,
        [services = m_services, path = project.path, pinned](const WorkContext &) -> Outcome {
            try {
                QSet<QString> pinnedPaths =
                    services.globalStateStore.setPinnedProjectPath(path, pinned);
                writeCatalog([&] {
                    services.projectCatalogStore.updateProject(standardizedPath(path),
                                                               std::nullopt, pinned);
                });
                return pinnedPaths;
            } catch (const std::exception &error) {
                return messageOf(error);
            }
        },
        [access = m_access, project, pinned,
         completion = std::move(completion)](const Outcome &outcome) {
            if (const auto *pinnedPaths = std::get_if<QSet<QString>>(&outcome)) {
                // Codex's own list is the truth, pins another writer changed included.
                access.publishProjects(
                    ProjectListEdits::withPinnedPaths(access.projects(), *pinnedPaths));
                access.setStatusMessage((pinned ? QStringLiteral("Pinned ")
                                                : QStringLiteral("Unpinned "))
                                        + project.name + QLatin1Char('.'));
            } else {
                // Only this pin goes back: whatever was published meanwhile (a refresh, a
                // read mark, another pin) stays.
                access.publishProjects(ProjectListEdits::withPin(access.projects(), project.path,
                                                                 project.isPinned));
                access.setStatusMessage(std::get<QString>(outcome));
            }
            if (completion)
                completion();
        });
}

void ProjectActions::openTerminal(const QString &path)
{
    runDesktopAction([desktop = &m_services.desktop, path](const std::stop_token &) {
                         return desktop->openTerminal(path);
                     },
                     [access = m_access](const DesktopActionResult &opened) {
                         if (!opened.opened())
                             access.setStatusMessage(QStringLiteral("Could not open Terminal: ")
                                                     + opened.message);
                     });
}

void ProjectActions::runTerminalCommand(const QString &folder, const QString &program,
                                        const QStringList &arguments)
{
    runDesktopAction(
        [desktop = &m_services.desktop, folder, program, arguments](const std::stop_token &) {
            return desktop->runInTerminal(folder, program, arguments);
        },
        [access = m_access](const DesktopActionResult &opened) {
            if (!opened.opened())
                access.setStatusMessage(QStringLiteral("Could not open Terminal: ")
                                        + opened.message);
        });
}

void ProjectActions::revealInFileManager(const QString &path)
{
    runDesktopAction([desktop = &m_services.desktop, path](const std::stop_token &stopToken) {
                         return desktop->revealFolder(path, stopToken);
                     },
                     [access = m_access](const DesktopActionResult &opened) {
                         if (!opened.opened())
                             access.setStatusMessage(opened.message);
                     });
}

} // namespace tolvaran
