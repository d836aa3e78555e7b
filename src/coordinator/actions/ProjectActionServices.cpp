#include "coordinator/actions/ProjectActionServices.h"

#include "platform/desktop/SystemCodexApplicationController.h"
#include "platform/desktop/SystemCodexLauncher.h"
#include "platform/desktop/SystemDesktopServices.h"

namespace tolvaran {

ProjectActionServices ProjectActionServices::system()
{
    ProjectActionServices services;
    services.desktop = std::make_unique<SystemDesktopServices>();
    services.codexLauncher = std::make_unique<SystemCodexLauncher>(*services.desktop);
    services.codexApplication = std::make_unique<SystemCodexApplicationController>();
    return services;
}

ProjectActionServices::ProjectActionServices() = default;
ProjectActionServices::ProjectActionServices(ProjectActionServices &&) noexcept = default;
ProjectActionServices &
ProjectActionServices::operator=(ProjectActionServices &&) noexcept = default;
ProjectActionServices::~ProjectActionServices() = default;

} // namespace tolvaran
