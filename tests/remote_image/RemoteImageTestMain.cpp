// The image tests decode with Qt's image plug-ins, and the SVG one draws with QtGui's painter,
// which wants a GUI application: on the offscreen platform unless told otherwise. Started again
// with the decoding program's argument, it is a second program whose decoding processes a test
// watches as it ends (runDecodingProgramIfAsked).
#include "LoaderWorld.h"
#include "support/BuiltPrograms.h"
#include "support/PrivateUserFolders.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tolvaran::fixtures::nameBuiltPictureDecoder();
    // Before the user folders, which a program that is killed would leave behind.
    if (const auto ended = tolvaran::markdown::runDecodingProgramIfAsked(argc, argv))
        return *ended;
    tolvaran::fixtures::PrivateUserFolders userFolders(argc, argv);
    QGuiApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
