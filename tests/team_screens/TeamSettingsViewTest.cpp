#include "TeamScreensWorld.h"

#include "team/server/TeamSettingsError.h"
#include "team_screens/TeamSettingsView.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tolvaran;
namespace keys = tolvaran::fixtures::teamKeys;
using tolvaran::fixtures::waitUntil;

namespace {

class TeamSettingsViewTest : public TeamScreensWorld
{
protected:
    // A sheet over `team` that records its callbacks in order.
    std::unique_ptr<TeamSettingsView> sheetFor(TeamScreenTeam &team)
    {
        auto sheet = std::make_unique<TeamSettingsView>(
            team, [this] { calls << QStringLiteral("dismiss"); },
            [this] { calls << QStringLiteral("saved"); });
        sheet->show();
        return sheet;
    }

    static void type(TeamSettingsView &sheet, const char *field, const QString &text)
    {
        auto *edit = sheet.findChild<QLineEdit *>(QLatin1String(field));
        ASSERT_NE(edit, nullptr);
        edit->clear();
        QTest::keyClicks(edit, text);
    }

    static QString shownError(const TeamSettingsView &sheet)
    {
        auto *label = sheet.findChild<QLabel *>(QStringLiteral("errorMessage"));
        return label && !label->isHidden() ? label->text() : QString();
    }

    bool keyFileExists(const TeamSettingsStore &settings) const
    {
        const auto path = settings.credentialsFilePath(TeamSettingsStore::keyFileName);
        return path && QFile::exists(*path);
    }

    // A new, unlisted profile as "Add Team" makes it.
    FixedScreenTeam &newTeam()
    {
        auto *team = static_cast<FixedScreenTeam *>(workspace.beginAddingTeam());
        team->settings().setMemberName(QStringLiteral("Ada"));
        return *team;
    }

    QStringList calls;
};

TEST_F(TeamSettingsViewTest, joiningVerifiesTheTrimmedKeyAdoptsTheServerNameAndStoresTheKey)
{
    FixedScreenTeam &team = newTeam();
    auto sheet = sheetFor(team);
    type(*sheet, "teamNameField", QStringLiteral("My guess"));
    type(*sheet, "teamKeyField", QStringLiteral("  ") + keys::alpha + QStringLiteral("\t"));

    sheet->save();
    EXPECT_TRUE(sheet->isWorking());
    EXPECT_FALSE(sheet->findChild<QPushButton *>(QStringLiteral("saveButton"))->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return !calls.isEmpty(); }));

    EXPECT_EQ(calls, (QStringList{QStringLiteral("saved"), QStringLiteral("dismiss")}));
    EXPECT_EQ(team.settings().teamName(), QStringLiteral("Core"));
    EXPECT_EQ(team.settings().readKey(), keys::alpha);
    EXPECT_TRUE(team.settings().hasStoredKey());
    EXPECT_EQ(requestsTo("PUT", QStringLiteral("/v1/team")), 0);
    // The connection restarted with the new settings: the device registers.
    EXPECT_TRUE(waitUntil([&] {
        return requestsTo("POST", QStringLiteral("/v1/team/installations/register")) == 1;
    }));
    EXPECT_FALSE(sheet->isWorking());
}

TEST_F(TeamSettingsViewTest, editingRenamesTheTeamOnlyWhenTheTrimmedNameDiffers)
{
    struct Case
    {
        const char *name;
        QString typedName;
        int renames;
        QString serverName;
    };
    const Case cases[] = {
        {"same name with spaces", QStringLiteral("  Core "), 0, QStringLiteral("Core")},
        {"new name", QStringLiteral("Platform"), 1, QStringLiteral("Platform")},
    };
    int profile = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        server.team(teamId).name = QStringLiteral("Core");
        const int before = requestsTo("PUT", QStringLiteral("/v1/team"));
        FixedScreenTeam *team = workspace.addListedTeam(QStringLiteral("edit-%1").arg(++profile));
        team->settings().setMemberName(QStringLiteral("Ada"));
        team->settings().setEnabled(true);
        team->settings().save(keys::alpha);
        calls.clear();
        // Read when the save is reported: the restarted connection registers the device
        // next, and a device the server makes a plain member drops the shared key by design.
        std::optional<QString> keyWhenSaved;
        auto sheet = std::make_unique<TeamSettingsView>(
            *team, [this] { calls << QStringLiteral("dismiss"); },
            [this, &keyWhenSaved, team] {
                keyWhenSaved = team->settings().readKey();
                calls << QStringLiteral("saved");
            });
        sheet->show();
        type(*sheet, "teamNameField", c.typedName);
        sheet->save();
        ASSERT_TRUE(waitUntil([&] { return !calls.isEmpty() || sheet->errorMessage(); }));
        EXPECT_EQ(calls, (QStringList{QStringLiteral("saved"), QStringLiteral("dismiss")}));
        EXPECT_EQ(requestsTo("PUT", QStringLiteral("/v1/team")) - before, c.renames);
        EXPECT_EQ(server.team(teamId).name, c.serverName);
        EXPECT_EQ(keyWhenSaved, keys::alpha);
    }
}

TEST_F(TeamSettingsViewTest, aRefusedKeyShowsTheServersSentenceAndStoresNothing)
{
    FixedScreenTeam &team = newTeam();
    auto sheet = sheetFor(team);
    type(*sheet, "teamKeyField", keys::beta);
    sheet->save();
    ASSERT_TRUE(waitUntil([&] { return !sheet->isWorking(); }));

    EXPECT_EQ(shownError(*sheet), QStringLiteral("That team key has not been registered. Ask "
                                                 "the team creator to confirm the shared key."));
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_FALSE(keyFileExists(team.settings()));
    EXPECT_FALSE(team.settings().hasStoredKey());
    EXPECT_EQ(sheet->findChild<QLineEdit *>(QStringLiteral("teamKeyField"))->text(), keys::beta);
    EXPECT_EQ(team.service().connectionState().state, TeamConnectionState::Case::disabled);
}

// The Save button a key was saved with is disabled while the save runs, which passes the
// focus on to the sheet's close button: after a refusal, the next Space would close the sheet
// and throw the pasted key away. The focus goes back to the key, kept as typed.
TEST_F(TeamSettingsViewTest, aRefusedKeyLeavesTheFocusOnTheKeptKey)
{
    struct Case
    {
        const char *name;
        QString key;
        bool alreadyMember;
    };
    const Case cases[] = {
        {"a key the server does not know", keys::beta, false},
        {"the key of a team this computer is in", keys::alpha, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        FixedScreenTeam &team = newTeam();
        auto sheet = sheetFor(team);
        sheet->setMembershipCheck(
            [&c](const QString &, const QList<TeamInstallation> &) { return c.alreadyMember; });
        sheet->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(sheet.get()));
        type(*sheet, "teamKeyField", c.key);
        QTest::mouseClick(sheet->findChild<QPushButton *>(QStringLiteral("saveButton")),
                          Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return !sheet->isWorking(); }));
        ASSERT_TRUE(sheet->errorMessage().has_value());

        auto *key = sheet->findChild<QLineEdit *>(QStringLiteral("teamKeyField"));
        EXPECT_EQ(QApplication::focusWidget(), key)
            << QApplication::focusWidget()->objectName().toStdString();
        EXPECT_EQ(key->text(), c.key);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_TRUE(calls.isEmpty());
        sheet.reset();
        workspace.discardAddedTeam(&team);
    }
}

TEST_F(TeamSettingsViewTest, whatIsRefusedBeforeAnyRequestIsSent)
{
    struct Case
    {
        const char *name;
        QString memberName;
        QString key;
        TeamSettingsError::Kind error;
    };
    const Case cases[] = {
        {"no key on a switched-on profile", QStringLiteral("Ada"), QStringLiteral("   "),
         TeamSettingsError::Kind::missingKey},
        {"no display name", QStringLiteral(" "), keys::alpha,
         TeamSettingsError::Kind::invalidMemberName},
        {"display name too long", QString(81, QLatin1Char('x')), keys::alpha,
         TeamSettingsError::Kind::invalidMemberName},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FixedScreenTeam &team = newTeam();
        auto sheet = sheetFor(team);
        type(*sheet, "memberNameField", c.memberName);
        type(*sheet, "teamKeyField", c.key);
        sheet->save();
        EXPECT_FALSE(sheet->isWorking());
        EXPECT_EQ(shownError(*sheet), errorMessage(c.error));
        EXPECT_TRUE(server.requests().isEmpty());
        EXPECT_FALSE(keyFileExists(team.settings()));
        workspace.discardAddedTeam(&team);
    }
}

TEST_F(TeamSettingsViewTest, profilesThatNeedNoVerificationSaveWithoutAnyRequest)
{
    // A switched-off profile stores a key long enough for the settings.
    FixedScreenTeam &off = newTeam();
    off.settings().setEnabled(false);
    auto offSheet = sheetFor(off);
    type(*offSheet, "teamKeyField", keys::shortForRequests);
    offSheet->save();
    EXPECT_EQ(calls, (QStringList{QStringLiteral("saved"), QStringLiteral("dismiss")}));
    EXPECT_EQ(off.settings().readKey(), keys::shortForRequests);

    // A registered member that keeps no key.
    calls.clear();
    FixedScreenTeam *member = registeredTeam(QStringLiteral("member"), QStringLiteral("Bo"),
                                             TeamInstallationRole::member, false);
    const qsizetype before = server.requests().size();
    auto memberSheet = sheetFor(*member);
    memberSheet->save();
    EXPECT_EQ(calls, (QStringList{QStringLiteral("saved"), QStringLiteral("dismiss")}));
    EXPECT_EQ(server.requests().size(), before);
}

TEST_F(TeamSettingsViewTest, aShortKeyOnASwitchedOnProfileFailsVerificationAndIsNotStored)
{
    FixedScreenTeam &team = newTeam();
    auto sheet = sheetFor(team);
    type(*sheet, "teamKeyField", keys::shortForRequests);
    sheet->save();
    ASSERT_TRUE(waitUntil([&] { return !sheet->isWorking(); }));
    EXPECT_EQ(shownError(*sheet), QStringLiteral("The team server URL or key is invalid."));
    EXPECT_FALSE(keyFileExists(team.settings()));
}

// Closing the sheet while the server has not answered ends the save: the key, the team name
// the server would have given and the profile itself are gone, and the team is not listed.
TEST_F(TeamSettingsViewTest, closingWhileASaveWaitsForTheServerCancelsIt)
{
    server.delayNext("GET", QStringLiteral("/v1/team/snapshot"), std::chrono::milliseconds(800));
    FixedScreenTeam &team = newTeam();
    const QString profileID = team.id();
    const QString keyPath = *team.settings().credentialsFilePath(TeamSettingsStore::keyFileName);
    auto sheet = std::make_unique<TeamSettingsView>(
        team,
        [&] {
            calls << QStringLiteral("dismiss");
            workspace.discardAddedTeam(&team);
        },
        [&] { calls << QStringLiteral("saved"); });
    sheet->show();
    type(*sheet, "teamNameField", QStringLiteral("Typed"));
    type(*sheet, "teamKeyField", keys::alpha);
    sheet->save();
    ASSERT_TRUE(waitUntil([&] { return requestsTo("GET", QStringLiteral("/v1/team/snapshot"))
                                       == 1; }));

    QTest::keyClick(sheet.get(), Qt::Key_Escape);
    EXPECT_EQ(calls, QStringList{QStringLiteral("dismiss")});
    EXPECT_FALSE(sheet->isWorking());
    // Past the server's delayed answer. The answer reaches the network stack's own thread,
    // and nothing on this side comes after it in order, so this waits a bounded time.
    tolvaran::fixtures::processEventsFor(std::chrono::milliseconds(1200));

    EXPECT_EQ(calls, QStringList{QStringLiteral("dismiss")});
    EXPECT_FALSE(QFile::exists(keyPath));
    EXPECT_TRUE(workspace.teams().isEmpty());
    defaults.sync();
    QFile stored(defaults.filePath());
    const QByteArray storedDefaults =
        stored.open(QIODevice::ReadOnly) ? stored.readAll() : QByteArray();
    EXPECT_FALSE(storedDefaults.contains(profileID.toUtf8())) << storedDefaults.toStdString();
    EXPECT_EQ(requestsTo("POST", QStringLiteral("/v1/team/installations/register")), 0);
}

TEST_F(TeamSettingsViewTest, theKeyIsSharedOnlyWhenThisDeviceMayShareIt)
{
    FixedScreenTeam *owner = registeredTeam(QStringLiteral("owner"), QStringLiteral("Ada"),
                                            TeamInstallationRole::owner);
    auto ownerSheet = sheetFor(*owner);
    // No security status yet: sharing is allowed.
    auto *copy = ownerSheet->findChild<QPushButton *>(QStringLiteral("copyKeyButton"));
    EXPECT_TRUE(copy->isVisible());
    QTest::mouseClick(copy, Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text(), keys::alpha);
    EXPECT_EQ(ownerSheet->statusMessage(), QStringLiteral("Team key copied."));

    // A failed save's error stays above a later copy's confirmation.
    ownerSheet->findChild<QLineEdit *>(QStringLiteral("memberNameField"))->clear();
    owner->settings().setMemberName(QString());
    ownerSheet->save();
    ownerSheet->copyTeamKey();
    EXPECT_TRUE(ownerSheet->errorMessage().has_value());
    EXPECT_EQ(ownerSheet->statusMessage(), QStringLiteral("Team key copied."));

    FixedScreenTeam *member = registeredTeam(QStringLiteral("member"), QStringLiteral("Bo"),
                                             TeamInstallationRole::member);
    connect(*member);
    QApplication::clipboard()->clear();
    auto memberSheet = sheetFor(*member);
    EXPECT_FALSE(memberSheet->findChild<QPushButton *>(QStringLiteral("copyKeyButton"))
                     ->isVisible());
    memberSheet->copyTeamKey();
    EXPECT_TRUE(QApplication::clipboard()->text().isEmpty());
    EXPECT_FALSE(memberSheet->statusMessage().has_value());
}

TEST_F(TeamSettingsViewTest, showingTheSheetDropsTheTeamsQueuedCommitNotices)
{
    FixedScreenTeam *team = registeredTeam(QStringLiteral("t"), QStringLiteral("Ada"),
                                           TeamInstallationRole::owner);
    connect(*team);
    commits(2, 1'700'000'000'000);
    server.sendSnapshots(teamId);
    ASSERT_TRUE(waitUntil([&] { return team->service().commitNotifications().size() == 2; }));
    auto sheet = sheetFor(*team);
    sheet->closeSheet();
    EXPECT_TRUE(team->service().commitNotifications().isEmpty());
    EXPECT_EQ(team->service().recentCommits().size(), 2);
}

TEST_F(TeamSettingsViewTest, theKeyboardAloneFillsSavesAndClosesTheSheet)
{
    FixedScreenTeam &team = newTeam();
    auto sheet = sheetFor(team);
    QApplication::setActiveWindow(sheet.get());
    auto *teamName = sheet->findChild<QLineEdit *>(QStringLiteral("teamNameField"));
    teamName->setFocus();
    // Tab goes team name, display name, key.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("memberNameField"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("teamKeyField"));
    QTest::keyClicks(QApplication::focusWidget(), keys::alpha);
    // Enter in a field saves.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return !calls.isEmpty(); }));
    EXPECT_EQ(calls, (QStringList{QStringLiteral("saved"), QStringLiteral("dismiss")}));

    // Escape alone closes a sheet without saving.
    calls.clear();
    FixedScreenTeam &other = newTeam();
    auto second = sheetFor(other);
    QTest::keyClick(second.get(), Qt::Key_Escape);
    EXPECT_EQ(calls, QStringList{QStringLiteral("dismiss")});
}

} // namespace
