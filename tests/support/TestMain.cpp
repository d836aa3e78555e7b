// The entry point of every test program that does not bring its own: user folders of the
// program's own (PrivateUserFolders, as every test main makes them), a QCoreApplication (for
// event loops, queued calls and timers), then GoogleTest. Test folders that need widgets define
// their own main with a QApplication; the linker then leaves this one out.
#include "support/BuiltPrograms.h"
#include "support/PrivateUserFolders.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char *argv[])
{
    tolvaran::fixtures::PrivateUserFolders userFolders(argc, argv);
    tolvaran::fixtures::nameBuiltPictureDecoder();
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
