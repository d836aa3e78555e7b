// The program's entry: the application object, the model objects and the window. The work of
// the program (reading Codex's data, watching folders) starts when the window is shown.
#include "app/TolvaranApp.h"
#include "app/TolvaranWindow.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

namespace {

// Without a desktop session (a bare X server, some window managers) Qt knows no icon theme
// and would fall back to its own few standard icons; pick an installed freedesktop theme.
void chooseIconTheme()
{
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor"))
        return;
    for (const char *candidate : {"Adwaita", "breeze", "Papirus"}) {
        for (const QString &folder : QIcon::themeSearchPaths()) {
            if (QDir(folder + QLatin1Char('/') + QLatin1String(candidate)).exists()) {
                QIcon::setThemeName(QLatin1String(candidate));
                return;
            }
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvaran"));
    QApplication::setApplicationVersion(QStringLiteral(TOLVARAN_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("com.ostvik.tolvaran"));
    chooseIconTheme();

    tolvaran::TolvaranApp app;
    app.window().show();
    return application.exec();
}
