// The image tests decode with Qt's image plug-ins, and the SVG one draws with QtGui's painter,
// which wants a GUI application: on the offscreen platform unless told otherwise.
#include "support/PrivateUserFolders.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tolvaran::fixtures::PrivateUserFolders userFolders(argc, argv);
    QGuiApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
