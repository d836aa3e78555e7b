// The entry point of the test programs that build widgets (tolvaran_widget_test): a
// QApplication, then GoogleTest. Linked into the program itself, it takes the place of the
// support library's QCoreApplication main. Kept out of the support library's folder, which
// links no widgets.
#include "support/BuiltPrograms.h"
#include "support/PrivateUserFolders.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char *argv[])
{
    // On the offscreen platform unless told otherwise, also when CTest lists the tests at
    // build time, with no display and no environment of its own.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tolvaran::fixtures::PrivateUserFolders userFolders(argc, argv);
    tolvaran::fixtures::nameBuiltPictureDecoder();
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
