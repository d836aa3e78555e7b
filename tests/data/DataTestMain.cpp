// The data tests' entry point: a QCoreApplication, then GoogleTest. Started again with the
// global-state writer's argument, it is a second process changing Codex's global-state file
// (CodexGlobalStateWriter).
#include "CodexGlobalStateWriter.h"
#include "support/BuiltPrograms.h"
#include "support/PrivateUserFolders.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char *argv[])
{
    if (const auto written = tolvaran::fixtures::CodexGlobalStateWriter::runIfAsked(argc, argv))
        return *written;
    tolvaran::fixtures::PrivateUserFolders userFolders(argc, argv);
    tolvaran::fixtures::nameBuiltPictureDecoder();
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
