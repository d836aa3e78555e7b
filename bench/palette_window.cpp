// The application's window as src/main.cpp builds it, in the Fusion style with a light or a
// dark palette chosen on the command line, for the screenshot scripts (scripts/screenshots.sh,
// scripts/large-text-screenshots.sh): under a bare X server Qt has no desktop theme to take a
// palette or a font from. With --open-first-project it opens the detail pane of the first
// project in the list once the list has been read (scripts/detail-screenshots.sh); with
// --open-project FOLDER, that of the project whose folder has that name; with
// --open-join-sheet the teams' screen and its join sheet, as "Add Team" opens it, once the
// window shows (scripts/large-text-screenshots.sh).
//
//   palette_window light|dark
//       [--open-first-project | --open-project FOLDER | --open-join-sheet] [Qt options]
#include "app/ApplicationSetUp.h"
#include "app/TolvaranApp.h"
#include "app/TolvaranWindow.h"
#include "app/window/ContentView.h"
#include "coordinator/ProjectListViewModel.h"
#include "helpers/ScreenshotLook.h"
#include "support/BuiltPrograms.h"
#include "team_screens/TeamsDashboardView.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    tolvaran::fixtures::nameBuiltPictureDecoder();
    if (argc < 2 || (std::strcmp(argv[1], "light") != 0 && std::strcmp(argv[1], "dark") != 0)) {
        std::fprintf(stderr,
                     "usage: palette_window light|dark [--open-first-project | --open-project "
                     "FOLDER | --open-join-sheet] [Qt options]\n");
        return 2;
    }
    const bool dark = std::strcmp(argv[1], "dark") == 0;
    const bool opensFirstProject = argc > 2 && std::strcmp(argv[2], "--open-first-project") == 0;
    const QString folder = argc > 3 && std::strcmp(argv[2], "--open-project") == 0
        ? QString::fromLocal8Bit(argv[3])
        : QString();
    const bool opensJoinSheet = argc > 2 && std::strcmp(argv[2], "--open-join-sheet") == 0;
    QApplication application(argc, argv);
    tolvaran::setUpApplication(QString());
    tolvaran::fixtures::bench::useFusionLook(dark);

    tolvaran::TolvaranApp app;
    tolvaran::ProjectListViewModel &list = app.viewModel();
    tolvaran::ContentView &content = *app.window().contentView();
    const auto opens = [folder](const tolvaran::ProjectCardSnapshot &card) {
        return folder.isEmpty() || QFileInfo(card.path).fileName() == folder;
    };
    if (opensFirstProject || !folder.isEmpty()) {
        QObject::connect(&list, &tolvaran::ProjectListViewModel::projectsChanged, &content,
                         [&list, &content, opens] {
                             if (content.detailedProjectID())
                                 return;
                             for (const tolvaran::ProjectCardSnapshot &card :
                                  list.pagedProjects()) {
                                 if (opens(card)) {
                                     content.openProject(card.id);
                                     return;
                                 }
                             }
                         });
    }
    app.window().show();
    if (opensJoinSheet) {
        QTimer::singleShot(0, &content, [&content] {
            content.showTeams();
            if (auto *teams = content.findChild<tolvaran::TeamsDashboardView *>())
                teams->addTeam();
        });
    }
    return application.exec();
}
