#pragma once

#include "coordinator/CoordinatorClock.h"

#include <memory>

namespace tolvaran {

class CodexApplicationController;
class CodexLauncher;
class DesktopServices;

// What the coordinator's actions reach outside the program: the desktop (links, the file
// manager, the terminal), the way into Codex's chats, the Codex application itself, and the
// clock. The coordinator owns them; tests hand it doubles.
struct ProjectActionServices
{
    std::unique_ptr<DesktopServices> desktop;
    std::unique_ptr<CodexLauncher> codexLauncher; // uses `desktop`
    std::unique_ptr<CodexApplicationController> codexApplication;
    CoordinatorClock clock;

    // The real ones of this desktop.
    static ProjectActionServices system();

    ProjectActionServices();
    ProjectActionServices(ProjectActionServices &&) noexcept;
    ProjectActionServices &operator=(ProjectActionServices &&) noexcept;
    ~ProjectActionServices();
};

} // namespace tolvaran
