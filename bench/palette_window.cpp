// The application's window as src/main.cpp builds it, in the Fusion style with a light or a
// dark palette chosen on the command line, for the screenshot script (scripts/screenshots.sh):
// under a bare X server Qt has no desktop theme to take a palette from.
//
//   palette_window light|dark [Qt options such as -geometry]
#include "app/ApplicationSetUp.h"
#include "app/TolvaranApp.h"
#include "app/TolvaranWindow.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

#include <cstdio>
#include <cstring>

namespace {

// The dark palette Fusion users commonly set.
QPalette darkPalette()
{
    QPalette palette;
    const QColor window(53, 53, 53);
    const QColor text(230, 230, 230);
    const QColor disabled(127, 127, 127);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, QColor(35, 35, 35));
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, QColor(25, 25, 25));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Link, QColor(42, 130, 218));
    palette.setColor(QPalette::Highlight, QColor(42, 130, 218));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, disabled);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    return palette;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2 || (std::strcmp(argv[1], "light") != 0 && std::strcmp(argv[1], "dark") != 0)) {
        std::fprintf(stderr, "usage: palette_window light|dark [Qt options]\n");
        return 2;
    }
    const bool dark = std::strcmp(argv[1], "dark") == 0;
    QApplication application(argc, argv);
    tolvaran::setUpApplication(QString());
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());

    tolvaran::TolvaranApp app;
    app.window().show();
    return application.exec();
}
