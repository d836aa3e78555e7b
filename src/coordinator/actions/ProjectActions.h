#pragma once

#include "coordinator/CoordinatorAccess.h"
#include "coordinator/CoordinatorClock.h"
#include "coordinator/actions/NewProjectCreator.h"
#include "data/catalog/ProjectCardSnapshot.h"
#include "platform/desktop/DesktopActionResult.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>

namespace tolvaran {

class CodexGlobalStateStore;
class CodexLauncher;
class DesktopServices;
class FolderPicker;
class KeyValueStore;
class ProjectCatalogStore;
class ProjectTagController;

// What the user does to one project besides tagging and renaming it: create a project folder,
// open its chats or start a new one in Codex, pin it, and open it in the file manager or the
// terminal. Outcomes are reported only through the coordinator's status message. An action
// that opened nothing says why and never claims to have opened anything; writes to Codex's
// global state and the catalog run on background jobs and are applied to the list afterwards,
// and so does every opening (it may run a program), its outcome following in a later turn.
class ProjectActions final
{
public:
    // The full refresh that lists a new project, this long after its folder was created.
    static constexpr std::chrono::milliseconds newProjectRefreshDelay{2000};

    struct Services
    {
        DesktopServices &desktop;
        CodexLauncher &codexLauncher;
        KeyValueStore &defaults;
        CodexGlobalStateStore &globalStateStore;
        ProjectCatalogStore &projectCatalogStore;
    };

    // Every service and the tag controller must outlive the actions and every job they start.
    ProjectActions(CoordinatorAccess access, Services services, ProjectTagController &tags,
                   CoordinatorClock clock = {});

    const NewProjectCreator &newProjectCreator() const { return m_creator; }

    // "New Project...": asks for the folder through `picker` (the window's dialog), creates
    // it, gives it the selected tag, starts a new chat in it and refreshes the list a little
    // later. `completion` runs once the folder is created or refused, or the dialog was
    // cancelled.
    void createNewProject(FolderPicker &picker, std::function<void()> completion = {});

    // Opens chat `threadID` of `project` in Codex; `description` names the chat in the status
    // ("latest chat"). An unread chat that opened is marked read in Codex's global state (and
    // the catalog), and then in the list. `completion` runs once that is done.
    void openThread(const QString &threadID, const ProjectCardSnapshot &project,
                    const QString &description, std::function<void()> completion = {});

    // Starts a new Codex chat in the folder at `path`.
    void startNewChat(const QString &path, const QString &projectName);

    // Flips the project's pin at once in the list, then writes it to Codex's global state and
    // the catalog. On success the global state's pins are shown for every project; on failure
    // only this project's pin goes back. `completion` runs once the outcome is applied.
    void togglePin(const ProjectCardSnapshot &project, std::function<void()> completion = {});

    // Opens the desktop's terminal working in the folder at `path`.
    void openTerminal(const QString &path);
    // Runs `program` with `arguments` in the desktop's terminal, working in `folder`.
    void runTerminalCommand(const QString &folder, const QString &program,
                            const QStringList &arguments);
    // Shows the folder at `path` in the file manager.
    void revealInFileManager(const QString &path);

private:
    // Runs `open` on a job and `then` with its outcome on the GUI thread.
    void runDesktopAction(std::function<DesktopActionResult(const std::stop_token &)> open,
                          std::function<void(const DesktopActionResult &)> then);
    static void markThreadRead(const CoordinatorAccess &access, const Services &services,
                               const QString &threadID, const QString &path,
                               std::function<void()> completion);

    CoordinatorAccess m_access;
    Services m_services;
    ProjectTagController &m_tags;
    CoordinatorClock m_clock;
    NewProjectCreator m_creator;
};

} // namespace tolvaran
