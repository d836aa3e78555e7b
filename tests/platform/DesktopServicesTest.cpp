#include "platform/desktop/SystemDesktopServices.h"
#include "support/ScopedEnvironment.h"
#include "support/StandInPrograms.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace tolvaran;
using Status = DesktopActionResult::Status;

namespace {

// A world with nothing of the desktop's own: PATH holds only the test's stand-in programs.
class DesktopWorld : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bin = fixtures::useOnlyStandInPrograms(home, environment);
        // Every character a shell would act on, and an apostrophe and quotes besides.
        folder = home.filePath(QStringLiteral("it's a \"project\" $(touch pwned) `touch pwned`"));
        QDir().mkpath(folder);
    }

    QString record(const QString &name) const
    {
        return home.filePath(name + QStringLiteral(".rec"));
    }

    QString standInTerminal(const QString &name = QStringLiteral("x-terminal-emulator"))
    {
        return fixtures::writeRecordingProgram(bin, name, record(QStringLiteral("terminal")),
                                               true);
    }

    bool anythingWasRunByAShell() const
    {
        return QFileInfo::exists(folder + QStringLiteral("/pwned"))
               || QFileInfo::exists(home.filePath(QStringLiteral("pwned")));
    }

    fixtures::TemporaryHome home;
    fixtures::ScopedEnvironment environment;
    QString bin;
    QString folder;
    SystemDesktopServices desktop;
};

} // namespace

TEST_F(DesktopWorld, openTerminalStartsTheTerminalWorkingInTheFolder)
{
    standInTerminal();
    EXPECT_EQ(desktop.openTerminal(folder), DesktopActionResult::success());
    const auto terminal = fixtures::waitForRecord(record(QStringLiteral("terminal")));
    ASSERT_TRUE(terminal);
    EXPECT_EQ(terminal->workingDirectory, folder);
    EXPECT_EQ(terminal->arguments, QStringList());
}

TEST_F(DesktopWorld, runInTerminalHandsEveryArgumentOverUntouched)
{
    standInTerminal();
    const QString program = fixtures::writeRecordingProgram(bin, QStringLiteral("tool"),
                                                            record(QStringLiteral("tool")));
    const QStringList arguments = {folder, QStringLiteral("$(touch pwned)"),
                                   QStringLiteral("two\nlines"), QString(), QStringLiteral("-e")};

    EXPECT_TRUE(desktop.runInTerminal(folder, program, arguments).opened());
    const auto terminal = fixtures::waitForRecord(record(QStringLiteral("terminal")));
    ASSERT_TRUE(terminal);
    EXPECT_EQ(terminal->workingDirectory, folder);
    const auto tool = fixtures::waitForRecord(record(QStringLiteral("tool")));
    ASSERT_TRUE(tool);
    EXPECT_EQ(tool->workingDirectory, folder);
    EXPECT_EQ(tool->arguments, arguments);
    EXPECT_FALSE(anythingWasRunByAShell());
}

TEST_F(DesktopWorld, theTerminalVariableIsUsedWhenTheSystemHasNoTerminal)
{
    const QString chosen = standInTerminal(QStringLiteral("my-terminal"));
    environment.set("TERMINAL", QFile::encodeName(chosen));
    EXPECT_TRUE(desktop.openTerminal(folder).opened());
    const auto terminal = fixtures::waitForRecord(record(QStringLiteral("terminal")));
    ASSERT_TRUE(terminal);
    EXPECT_EQ(terminal->workingDirectory, folder);
}

TEST_F(DesktopWorld, withoutATerminalNothingOpensAndTheSentenceSaysSo)
{
    environment.set("TERMINAL", QByteArrayLiteral("no-such-terminal"));
    const DesktopActionResult expected = DesktopActionResult::failure(
        Status::NoTerminal, QStringLiteral("No terminal application was found."));
    EXPECT_EQ(desktop.openTerminal(folder), expected);
    EXPECT_EQ(desktop.runInTerminal(folder, QStringLiteral("/bin/true"), {}), expected);
}

TEST_F(DesktopWorld, aMissingFolderOpensNoTerminal)
{
    standInTerminal();
    const QString missing = home.filePath(QStringLiteral("gone"));
    for (const DesktopActionResult &result :
         {desktop.openTerminal(missing),
          desktop.runInTerminal(missing, QStringLiteral("/bin/true"), {}),
          desktop.openTerminal(QStringLiteral("relative/folder"))}) {
        EXPECT_EQ(result.status, Status::MissingFolder);
        EXPECT_FALSE(result.message.isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(record(QStringLiteral("terminal"))));
}

TEST_F(DesktopWorld, linksAndFoldersOpenOnlyThroughARegisteredApplication)
{
    const QString opener = record(QStringLiteral("xdg-open"));
    fixtures::writeRecordingProgram(bin, QStringLiteral("xdg-open"), opener);

    // No xdg-mime at all: nothing can be known to handle anything.
    const QUrl threadLink(QStringLiteral("codex://threads/a"));
    EXPECT_EQ(desktop.openUrl(threadLink).status, Status::NoHandler);

    fixtures::writeScript(
        bin, QStringLiteral("xdg-mime"),
        QStringLiteral("[ \"$3\" = x-scheme-handler/codex ] && echo codex.desktop\nexit 0\n"));
    const DesktopActionResult unhandled = desktop.openUrl(QUrl(QStringLiteral("zed://x")));
    EXPECT_EQ(unhandled.status, Status::NoHandler);
    EXPECT_EQ(unhandled.message, QStringLiteral("No application is set up to open zed: links."));
    EXPECT_EQ(desktop.revealFolder(folder),
              DesktopActionResult::failure(Status::NoHandler,
                                           QStringLiteral("No file manager was found.")));
    EXPECT_FALSE(QFileInfo::exists(opener));

    EXPECT_TRUE(desktop.openUrl(threadLink).opened());
    const auto opened = fixtures::waitForRecord(opener);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->arguments, QStringList{QStringLiteral("codex://threads/a")});
}

TEST_F(DesktopWorld, aFolderGoesToTheFileManagerAsItsPlainPath)
{
    const QString opener = record(QStringLiteral("xdg-open"));
    fixtures::writeRecordingProgram(bin, QStringLiteral("xdg-open"), opener);
    fixtures::writeScript(bin, QStringLiteral("xdg-mime"),
                          QStringLiteral("[ \"$3\" = inode/directory ] && echo files.desktop\n"));
    EXPECT_TRUE(desktop.revealFolder(folder).opened());
    const auto opened = fixtures::waitForRecord(opener);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->arguments, QStringList{folder});
    EXPECT_FALSE(anythingWasRunByAShell());
}
