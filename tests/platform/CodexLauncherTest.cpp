#include "platform/desktop/CodexLinks.h"
#include "platform/desktop/SystemCodexLauncher.h"
#include "platform/desktop/SystemDesktopServices.h"
#include "support/FakeDesktopServices.h"
#include "support/ScopedEnvironment.h"
#include "support/StandInPrograms.h"
#include "support/TemporaryHome.h"

#include <QDir>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <stop_token>

using namespace tolvaran;
using Status = DesktopActionResult::Status;

TEST(CodexLinks, threadLinkHoldsTheIdUnchangedOrIsNotFormed)
{
    const QString id = QStringLiteral("019a4f2e-7c1b-7d20-9e55-0a1b2c3d4e5f");
    ASSERT_TRUE(codexThreadLink(id));
    EXPECT_EQ(codexThreadLink(id)->toString(), QStringLiteral("codex://threads/") + id);
    for (const QString &bad : {QString(), QStringLiteral("a b"), QStringLiteral("a/../b"),
                               QStringLiteral("a?b"), QStringLiteral("a#b"),
                               QStringLiteral("--help"), QStringLiteral("é")})
        EXPECT_FALSE(codexThreadLink(bad)) << bad.toStdString();
}

TEST(CodexLinks, newChatLinkCarriesThePathEncodedWithItsSlashes)
{
    struct Row
    {
        const char *folder;
        const char *link;
    };
    const Row rows[] = {
        {"/home/ana/My Project", "codex://new?path=/home/ana/My%20Project"},
        {"/x/R&D #1+2=3?", "codex://new?path=/x/R%26D%20%231%2B2%3D3%3F"},
        {"/x/caf\xc3\xa9", "codex://new?path=/x/caf%C3%A9"},
        {"/x/it's 100%", "codex://new?path=/x/it%27s%20100%25"},
    };
    for (const Row &row : rows) {
        const QString folder = QString::fromUtf8(row.folder);
        const std::optional<QUrl> link = codexNewChatLink(folder);
        ASSERT_TRUE(link) << row.folder;
        EXPECT_EQ(link->toString(QUrl::FullyEncoded), QString::fromUtf8(row.link));
        EXPECT_EQ(QUrlQuery(*link).queryItemValue(QStringLiteral("path"), QUrl::FullyDecoded),
                  folder);
    }
    EXPECT_FALSE(codexNewChatLink(QString()));
}

namespace {

class CodexLauncherWorld : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bin = fixtures::useOnlyStandInCodex(home, environment);
        folder = home.filePath(QStringLiteral("my project $(touch pwned)"));
        QDir().mkpath(folder);
    }

    QString installCodex()
    {
        return fixtures::writeRecordingProgram(bin, QStringLiteral("codex"), codexRecord());
    }
    QString codexRecord() const { return home.filePath(QStringLiteral("codex.rec")); }

    fixtures::TemporaryHome home;
    fixtures::ScopedEnvironment environment;
    QString bin;
    QString folder;
};

const QString kThreadID = QStringLiteral("019a4f2e-7c1b-7d20-9e55-0a1b2c3d4e5f");

} // namespace

TEST_F(CodexLauncherWorld, theLinkIsPreferredAndTheCommandLineRunsWithoutAHandler)
{
    struct Row
    {
        const char *name;
        bool linkHandled;
        bool codexInstalled;
        Status expected;
        bool runsInTerminal;
    };
    const Row rows[] = {
        {"handler", true, true, Status::Opened, false},
        {"handler, no command line", true, false, Status::Opened, false},
        {"no handler", false, true, Status::Opened, true},
        {"neither", false, false, Status::CodexNotFound, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(bin + QStringLiteral("/codex"));
        const QString codex = row.codexInstalled ? installCodex() : QString();
        fixtures::FakeDesktopServices desktop;
        if (row.linkHandled)
            desktop.handledSchemes << QStringLiteral("codex");
        SystemCodexLauncher launcher(desktop);

        EXPECT_EQ(launcher.openThread(kThreadID, folder).status, row.expected);
        EXPECT_EQ(launcher.startNewChat(folder).status, row.expected);

        EXPECT_EQ(desktop.openedUrls,
                  QList<QUrl>({*codexThreadLink(kThreadID), *codexNewChatLink(folder)}));
        using Run = fixtures::FakeDesktopServices::TerminalRun;
        const QList<Run> expectedRuns = {Run{folder, codex, {QStringLiteral("resume"), kThreadID}},
                                         Run{folder, codex, {}}};
        EXPECT_EQ(desktop.terminalRuns, row.runsInTerminal ? expectedRuns : QList<Run>());
    }
}

TEST_F(CodexLauncherWorld, missingCommandLineAndBadIdsSaySoAndOpenNothing)
{
    fixtures::FakeDesktopServices desktop;
    SystemCodexLauncher launcher(desktop);
    const DesktopActionResult missing = launcher.startNewChat(folder);
    EXPECT_EQ(missing.status, Status::CodexNotFound);
    EXPECT_TRUE(missing.message.startsWith(
        QStringLiteral("Codex CLI was not found on PATH or in ~/.local/bin, ~/.npm-global/bin, ")))
        << missing.message.toStdString();
    EXPECT_TRUE(missing.message.contains(QStringLiteral("/usr/local/bin")));
    EXPECT_FALSE(missing.message.contains(QStringLiteral("/Applications")));

    installCodex();
    desktop.handledSchemes << QStringLiteral("codex");
    desktop.openedUrls.clear();
    EXPECT_EQ(launcher.openThread(QStringLiteral("-x"), folder),
              DesktopActionResult::failure(
                  Status::InvalidLink, QStringLiteral("Could not create the Codex chat link.")));
    EXPECT_TRUE(desktop.openedUrls.isEmpty());
    EXPECT_TRUE(desktop.terminalRuns.isEmpty());
}

TEST_F(CodexLauncherWorld, withoutAHandlerCodexRunsInTheTerminalInTheFolder)
{
    installCodex();
    fixtures::writeRecordingProgram(bin, QStringLiteral("x-terminal-emulator"),
                                    home.filePath(QStringLiteral("terminal.rec")), true);
    SystemDesktopServices desktop;
    SystemCodexLauncher launcher(desktop);

    // Stopped while the link's handler is looked up (the program quits): no terminal opens.
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(launcher.startNewChat(folder, stop.get_token()).status,
              DesktopActionResult::Status::Cancelled);
    EXPECT_EQ(launcher.openThread(kThreadID, folder, stop.get_token()).status,
              DesktopActionResult::Status::Cancelled);
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("terminal.rec"))));

    EXPECT_TRUE(launcher.startNewChat(folder).opened());
    const auto terminal = fixtures::waitForRecord(home.filePath(QStringLiteral("terminal.rec")));
    ASSERT_TRUE(terminal);
    EXPECT_EQ(terminal->workingDirectory, folder);
    const auto newChat = fixtures::waitForRecord(codexRecord());
    ASSERT_TRUE(newChat);
    EXPECT_EQ(newChat->workingDirectory, folder);
    EXPECT_EQ(newChat->arguments, QStringList());

    QFile::remove(codexRecord() + QStringLiteral(".done"));
    EXPECT_TRUE(launcher.openThread(kThreadID, folder).opened());
    const auto resumed = fixtures::waitForRecord(codexRecord());
    ASSERT_TRUE(resumed);
    EXPECT_EQ(resumed->workingDirectory, folder);
    EXPECT_EQ(resumed->arguments, QStringList({QStringLiteral("resume"), kThreadID}));
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/pwned")));
}

TEST_F(CodexLauncherWorld, theCommandLineIsFoundOnPathThenInTheUsualInstallPlaces)
{
    struct Row
    {
        const char *name;
        const char *folder; // relative to the home folder; "" for none
        const char *npmrc;  // ~/.npmrc's contents, or nullptr
        bool found;
    };
    const Row rows[] = {
        {"on PATH", "bin-on-path", nullptr, true},
        {"user's local bin", ".local/bin", nullptr, true},
        {"npm's user prefix", ".npm-global/bin", nullptr, true},
        {"npm prefix from ~/.npmrc", "tools/npm/bin", "color=false\nprefix = ~/tools/npm\n", true},
        {"cargo", ".cargo/bin", nullptr, true},
        {"an unlisted folder", "elsewhere/bin", nullptr, false},
        {"nowhere", "", nullptr, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        fixtures::TemporaryHome rowHome;
        fixtures::ScopedEnvironment rowEnvironment;
        rowEnvironment.set("HOME", QFile::encodeName(rowHome.path()));
        const QString pathFolder = rowHome.filePath(QStringLiteral("bin-on-path"));
        QDir().mkpath(pathFolder);
        rowEnvironment.set("PATH", QFile::encodeName(pathFolder));
        if (row.npmrc)
            rowHome.writeFile(QStringLiteral(".npmrc"), row.npmrc);
        QString expected;
        if (*row.folder) {
            const QString folderPath = rowHome.filePath(QString::fromUtf8(row.folder));
            QDir().mkpath(folderPath);
            expected = fixtures::writeRecordingProgram(folderPath, QStringLiteral("codex"),
                                                       rowHome.filePath(QStringLiteral("rec")));
        }
        EXPECT_EQ(SystemCodexLauncher::findCommandLine(), row.found ? expected : QString());
    }
}
