#include "CoordinatorDouble.h"

#include "coordinator/actions/ProjectActions.h"
#include "coordinator/actions/ProjectTagController.h"
#include "data/codex/CodexGlobalStateStore.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "data/catalog/ProjectTagStore.h"
#include "platform/storage/KeyValueStore.h"
#include "platform/desktop/SystemCodexLauncher.h"
#include "platform/desktop/SystemDesktopServices.h"
#include "support/QtPrinters.h"
#include "support/ScopedEnvironment.h"
#include "support/StandInPrograms.h"
#include "support/TemporaryHome.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace tolvaran;

// The actions on this machine's desktop layer, with the terminal and Codex played by programs
// that record where they ran and what they were given. PATH holds nothing else, so no
// application is registered for codex: links.
class DesktopActionsRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bin = fixtures::useOnlyStandInPrograms(home, environment);
        fixtures::writeRecordingProgram(bin, "x-terminal-emulator", terminalRecord, true);
        folder = home.filePath("it's my \"project\"");
        QDir().mkpath(folder);
    }

    fixtures::TemporaryHome home;
    fixtures::ScopedEnvironment environment;
    QString bin;
    QString folder;
    QString terminalRecord = home.filePath("terminal.rec");
    SystemDesktopServices desktop;
    SystemCodexLauncher launcher{desktop};
    KeyValueStore defaults{home.filePath("Tolvaran.conf")};
    CodexGlobalStateStore globalState{home.filePath(".codex/.codex-global-state.json")};
    ProjectCatalogStore catalog{home.filePath("support")};
    ProjectTagStore tagStore{defaults};
    fixtures::CoordinatorDouble coordinator;
    ProjectTagController tags{coordinator.access(), tagStore};
    ProjectActions actions{coordinator.access(),
                           {desktop, launcher, defaults, globalState, catalog},
                           tags};
};

TEST_F(DesktopActionsRun, openInTerminalStartsATerminalWorkingInTheProject)
{
    actions.openTerminal(folder);
    EXPECT_TRUE(coordinator.statusMessages.isEmpty());
    const auto terminal = fixtures::waitForRecord(terminalRecord);
    ASSERT_TRUE(terminal);
    EXPECT_EQ(terminal->workingDirectory, folder);
}

TEST_F(DesktopActionsRun, aNewChatWithoutALinkHandlerRunsCodexInTheProject)
{
    const QString codexRecord = home.filePath("codex.rec");
    fixtures::writeRecordingProgram(bin, "codex", codexRecord);
    actions.startNewChat(folder, "my project");
    ASSERT_TRUE(fixtures::waitUntil([&] { return coordinator.statusMessage().has_value(); }));
    EXPECT_EQ(coordinator.statusMessage(),
              QStringLiteral("Opening a new Codex chat for my project..."));
    const auto codex = fixtures::waitForRecord(codexRecord);
    ASSERT_TRUE(codex);
    EXPECT_EQ(codex->workingDirectory, folder);
    EXPECT_EQ(codex->arguments, QStringList());
}
