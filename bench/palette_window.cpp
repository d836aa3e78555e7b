// The application's window as src/main.cpp builds it, in the Fusion style with a light or a
// dark palette chosen on the command line, for the screenshot scripts (scripts/screenshots.sh,
// scripts/large-text-screenshots.sh): under a bare X server Qt has no desktop theme to take a
// palette or a font from.
//
//   palette_window light|dark [Qt options such as -geometry]
#include "app/ApplicationSetUp.h"
#include "app/TolvaranApp.h"
#include "app/TolvaranWindow.h"
#include "helpers/ScreenshotLook.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    if (argc < 2 || (std::strcmp(argv[1], "light") != 0 && std::strcmp(argv[1], "dark") != 0)) {
        std::fprintf(stderr, "usage: palette_window light|dark [Qt options]\n");
        return 2;
    }
    const bool dark = std::strcmp(argv[1], "dark") == 0;
    QApplication application(argc, argv);
    tolvaran::setUpApplication(QString());
    tolvaran::fixtures::bench::useFusionLook(dark);

    tolvaran::TolvaranApp app;
    app.window().show();
    return application.exec();
}
