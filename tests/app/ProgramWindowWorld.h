#pragma once

#include "BrowserWorld.h"
#include "support/network/LocalHttpServer.h"

#include <QString>

#include <memory>

namespace tolvaran {

class AppUpdateService;
class ContentView;
class TeamScreenWorkspace;
class TeamsDashboardView;
class TolvaranWindow;

namespace fixtures {

// The program's window, shown, over one project ("alpha") and one tag ("Work"), with the
// teams' screen of `teams` and an update control that offers a release whose installation
// fails at once (the copy is a package's), so that each dialog opens from its own control.
class ProgramWindowWorld final
{
public:
    ProgramWindowWorld(TeamScreenWorkspace &teams, const QString &temporaryFolder);
    ~ProgramWindowWorld();

    ContentView &content() const;
    // The browser as it first shows, or the teams' screen.
    void showBrowser() const;
    TeamsDashboardView *showTeams() const;

    BrowserWorld world;
    QString project;
    LocalHttpServer updateServer;
    std::unique_ptr<AppUpdateService> updater;
    std::unique_ptr<TolvaranWindow> window;
};

} // namespace fixtures

} // namespace tolvaran
