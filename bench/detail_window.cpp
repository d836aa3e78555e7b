// The application's window as palette_window shows it, with the detail pane of the first
// project in the list opened once the list has been read, for scripts/detail-screenshots.sh,
// which narrows the window to its least width under a window manager.
//
//   detail_window light|dark [Qt options such as -geometry]
#include "app/ApplicationSetUp.h"
#include "app/TolvaranApp.h"
#include "app/TolvaranWindow.h"
#include "app/window/ContentView.h"
#include "coordinator/ProjectListViewModel.h"
#include "helpers/ScreenshotLook.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    if (argc < 2 || (std::strcmp(argv[1], "light") != 0 && std::strcmp(argv[1], "dark") != 0)) {
        std::fprintf(stderr, "usage: detail_window light|dark [Qt options]\n");
        return 2;
    }
    const bool dark = std::strcmp(argv[1], "dark") == 0;
    QApplication application(argc, argv);
    tolvaran::setUpApplication(QString());
    tolvaran::fixtures::bench::useFusionLook(dark);

    tolvaran::TolvaranApp app;
    tolvaran::ProjectListViewModel &list = app.viewModel();
    tolvaran::ContentView &content = *app.window().contentView();
    QObject::connect(&list, &tolvaran::ProjectListViewModel::projectsChanged, &content,
                     [&list, &content] {
                         if (content.detailedProjectID() || list.pagedProjects().isEmpty())
                             return;
                         content.openProject(list.pagedProjects().constFirst().id);
                     });
    app.window().show();
    return application.exec();
}
