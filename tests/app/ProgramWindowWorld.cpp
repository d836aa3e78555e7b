#include "ProgramWindowWorld.h"

#include "app/TolvaranWindow.h"
#include "app/window/ContentView.h"
#include "detail/ProjectDetailViewModel.h"
#include "support/WaitUntil.h"
#include "support/update/ReleaseBuilder.h"
#include "team_screens/TeamsDashboardView.h"
#include "update/AppUpdateService.h"

#include <gtest/gtest.h>

namespace tolvaran::fixtures {

ProgramWindowWorld::ProgramWindowWorld(TeamScreenWorkspace &teams,
                                       const QString &temporaryFolder)
{
    project = world.addProject(QStringLiteral("alpha"), 1);
    world.makeModel(true);
    EXPECT_TRUE(world.refresh());
    world.model->addTag(QStringLiteral("Work"));
    EXPECT_TRUE(updateServer.listen());
    AppUpdateEnvironment environment;
    environment.serverURL = ReleaseBuilder::baseAddress(updateServer);
    environment.currentVersion = QStringLiteral("26.8.70");
    environment.runningExecutable = QStringLiteral("/usr/bin/tolvaran");
    environment.temporaryDirectory = temporaryFolder;
    environment.quitApplication = [] {};
    updater = std::make_unique<AppUpdateService>(environment);
    ReleaseBuilder::publish(updateServer, ReleaseBuilder::manifestFor("26.9.1", "archive"),
                            "archive");
    window = std::make_unique<TolvaranWindow>(
        *world.model, world.team, [this](const CodexProject &shown) {
            return std::make_unique<ProjectDetailViewModel>(
                shown, *world.model,
                [](const QString &, const WorkContext &) { return ProjectDetailSnapshot{}; });
        });
    window->contentView()->setTeamScreens(&teams);
    window->setUpdater(updater.get());
    window->show();
    bool checked = false;
    updater->checkForUpdates([&checked] { checked = true; });
    EXPECT_TRUE(waitUntil([&] { return checked && updater->availableUpdate(); }));
}

ProgramWindowWorld::~ProgramWindowWorld() = default;

ContentView &ProgramWindowWorld::content() const
{
    return *window->contentView();
}

void ProgramWindowWorld::showBrowser() const
{
    content().closeTeams();
    content().closeProject();
}

TeamsDashboardView *ProgramWindowWorld::showTeams() const
{
    content().closeProject();
    content().showTeams();
    return content().findChild<TeamsDashboardView *>();
}

} // namespace tolvaran::fixtures
