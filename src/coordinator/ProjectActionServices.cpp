#include "coordinator/ProjectActionServices.h"

#include "platform/SystemCodexApplicationController.h"
#include "platform/SystemCodexLauncher.h"
#include "platform/SystemDesktopServices.h"

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
