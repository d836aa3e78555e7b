// The program's entry: the application object, the model objects and the window. The work of
// the program (reading Codex's data, watching folders) starts when the window is shown.
#include "app/ApplicationSetUp.h"
#include "app/TolvaranApp.h"
#include "app/TolvaranWindow.h"
#include "update/FolderExchange.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The installer script's helper: no window, no display needed.
    if (const std::optional<int> status = tolvaran::FolderExchange::runIfAsked(argc, argv))
        return *status;

    QApplication application(argc, argv);
    tolvaran::setUpApplication(QStringLiteral(TOLVARAN_VERSION));

    tolvaran::TolvaranApp app;
    app.window().show();
    return application.exec();
}
