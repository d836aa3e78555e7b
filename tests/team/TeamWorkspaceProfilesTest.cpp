// The team workspace's profiles: what opening makes of every kind of stored profile, adding,
// committing, discarding, removing and selecting teams, and starting their services once.
#include "TeamWorkspaceWorld.h"

#include "support/QtPrinters.h"

#include <QFileInfo>
#include <QWebSocket>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

using TeamWorkspaceProfilesTest = TeamWorkspaceWorld;

// Runs the queued work, then waits until no socket of the teams' services is opening or
// closing: a connection that work began has then reached the server.
bool socketsSettled(const TeamWorkspaceStore &store)
{
    runQueuedWork();
    return waitUntil([&] {
        for (const auto &team : store.teams()) {
            for (const QWebSocket *socket : team->service().findChildren<QWebSocket *>()) {
                if (socket->state() != QAbstractSocket::ConnectedState
                    && socket->state() != QAbstractSocket::UnconnectedState) {
                    return false;
                }
            }
        }
        return true;
    });
}

// Counts one change signal of the workspace.
struct ChangeCount
{
    template<typename Signal>
    ChangeCount(TeamWorkspaceStore &store, Signal signal)
    {
        QObject::connect(&store, signal, &context, [this] { ++count; });
    }
    QObject context;
    int count = 0;
};

TEST_F(TeamWorkspaceProfilesTest, opening_withNothingStored_listsTheLegacyTeamAlone)
{
    TeamWorkspaceStore &store = open();
    EXPECT_EQ(listedIDs(), QStringList{QStringLiteral("legacy")});
    EXPECT_EQ(store.selectedManagementTeamID(), QStringLiteral("legacy"));
    EXPECT_EQ(store.selectedManagementTeam(), store.teams().first());
    EXPECT_TRUE(defaults.contains(TeamWorkspaceStore::profileIDsKey));
    EXPECT_EQ(storedProfileList(), QStringList());
    EXPECT_EQ(storedSelection(), QStringLiteral("legacy"));
    EXPECT_FALSE(store.hasTeamMemberships());
    EXPECT_FALSE(store.isStarted());
}

TEST_F(TeamWorkspaceProfilesTest, opening_storedProfilesOfEveryKind)
{
    const QString keyOnly = newProfileID();
    const QString registeredOnly = newProfileID();
    const QString onWithoutMembership = newProfileID();
    const QString offWithoutMembership = newProfileID();
    storeProfile(keyOnly, {.enabled = false, .key = true});
    storeProfile(registeredOnly, {.enabled = false, .registration = true});
    storeProfile(onWithoutMembership, {.enabled = true});
    storeProfile(offWithoutMembership, {.enabled = false});
    home.writeFile(QStringLiteral("support/teams/") + offWithoutMembership
                       + QStringLiteral("/leftover"),
                   "x");
    storeProfileList({keyOnly, QStringLiteral("legacy"), offWithoutMembership, registeredOnly,
                      keyOnly, onWithoutMembership});

    TeamWorkspaceStore &store = open();

    EXPECT_EQ(listedIDs(), (QStringList{QStringLiteral("legacy"), keyOnly, registeredOnly,
                                        onWithoutMembership}))
        << "stored order; \"legacy\" and repeated ids skipped";
    for (qsizetype i = 1; i < store.teams().size(); ++i)
        EXPECT_TRUE(store.teams().at(i)->settings().isEnabled())
            << listedIDs().at(i).toStdString();
    EXPECT_TRUE(defaults.boolean(QStringLiteral("teams.") + keyOnly + QStringLiteral(".enabled")))
        << "a profile holding a membership is stored switched on";
    EXPECT_EQ(storedProfileList(), listedIDs().mid(1));

    EXPECT_FALSE(hasStoredKeys(offWithoutMembership));
    EXPECT_FALSE(QFileInfo::exists(profileFolder(offWithoutMembership)));
    EXPECT_TRUE(store.hasTeamMemberships());
}

TEST_F(TeamWorkspaceProfilesTest, opening_idsThatAreNoProfileFolderAreSkippedAndNeverDeleted)
{
    // A tampered or damaged defaults file: none of these may name a folder to open or delete.
    const QString braced = QLatin1Char('{') + newProfileID() + QLatin1Char('}');
    const QStringList unusable{QStringLiteral(".."), QStringLiteral("../support"),
                               QStringLiteral("not-a-profile"), braced, QString(),
                               QStringLiteral("00000000-0000-0000-0000-000000000000")};
    for (const QString &id : unusable) {
        defaults.setValue(QStringLiteral("teams.") + id + QStringLiteral(".name"),
                          QStringLiteral("Kept"));
    }
    const QString keptFile = home.writeFile(QStringLiteral("support/teams/not-a-profile/team-key"),
                                            teamKeys::alpha.toUtf8());
    const QString ownFile = home.writeFile(QStringLiteral("support/own-file"), "ours");
    storeProfileList(unusable);

    TeamWorkspaceStore &store = open();

    EXPECT_EQ(listedIDs(), QStringList{QStringLiteral("legacy")});
    EXPECT_EQ(storedProfileList(), QStringList());
    EXPECT_TRUE(QFileInfo::exists(keptFile));
    EXPECT_TRUE(QFileInfo::exists(ownFile));
    for (const QString &id : unusable) {
        EXPECT_EQ(defaults.string(QStringLiteral("teams.") + id + QStringLiteral(".name")),
                  QStringLiteral("Kept"))
            << id.toStdString();
        EXPECT_FALSE(hasStoredKeys(id))
            << "opening would have written a device id: " << id.toStdString();
    }
    EXPECT_FALSE(store.hasTeamMemberships());
}

TEST_F(TeamWorkspaceProfilesTest, opening_keepsAListedSelectionAndDropsAnyOther)
{
    const QString listed = newProfileID();
    storeProfile(listed, {.key = true});
    storeProfileList({listed});
    defaults.setValue(TeamWorkspaceStore::selectedManagementTeamIDKey, listed);
    EXPECT_EQ(open().selectedManagementTeamID(), listed);

    const QString gone = newProfileID();
    storeProfile(gone, {.enabled = false});
    storeProfileList({listed, gone});
    defaults.setValue(TeamWorkspaceStore::selectedManagementTeamIDKey, gone);
    EXPECT_EQ(open().selectedManagementTeamID(), QStringLiteral("legacy"));
    EXPECT_EQ(storedSelection(), QStringLiteral("legacy"));
}

TEST_F(TeamWorkspaceProfilesTest, adding_pendingTeamIsNeitherListedNorStoredUntilCommitted)
{
    TeamWorkspaceStore &store = open();
    ChangeCount changes(store, &TeamWorkspaceStore::teamsChanged);
    const std::shared_ptr<TeamWorkspace> pending = store.beginAddingTeam();
    ASSERT_TRUE(pending);
    EXPECT_EQ(pending->id(), pending->id().toLower());
    EXPECT_FALSE(QUuid::fromString(pending->id()).isNull());
    EXPECT_TRUE(pending->settings().isEnabled());
    EXPECT_EQ(listedIDs(), QStringList{QStringLiteral("legacy")});
    EXPECT_EQ(storedProfileList(), QStringList());

    // Switched on, it is listed even before the sheet saved a key.
    store.commitAddedTeam(pending);
    EXPECT_EQ(listedIDs(), (QStringList{QStringLiteral("legacy"), pending->id()}));
    EXPECT_EQ(store.selectedManagementTeamID(), pending->id());
    EXPECT_EQ(storedProfileList(), QStringList{pending->id()});
    EXPECT_EQ(storedSelection(), pending->id());
    EXPECT_EQ(changes.count, 1);

    store.commitAddedTeam(pending);
    EXPECT_EQ(store.teams().size(), 2) << "a listed team is not listed twice";

    // Reopened, the committed profile is listed again (the sheet saved it).
    pending->settings().save(teamKeys::alpha);
    TeamWorkspaceStore &reopened = open();
    EXPECT_EQ(listedIDs(), (QStringList{QStringLiteral("legacy"), pending->id()}));
    EXPECT_EQ(reopened.selectedManagementTeamID(), pending->id());
}

TEST_F(TeamWorkspaceProfilesTest, adding_switchedOffTeamWithoutMembershipIsNotListed)
{
    TeamWorkspaceStore &store = open();
    const std::shared_ptr<TeamWorkspace> pending = store.beginAddingTeam();
    pending->settings().setEnabled(false);
    pending->settings().save();
    store.commitAddedTeam(pending);
    EXPECT_EQ(listedIDs(), QStringList{QStringLiteral("legacy")});
    EXPECT_EQ(store.selectedManagementTeamID(), QStringLiteral("legacy"));
    EXPECT_TRUE(hasStoredKeys(pending->id())) << "its data stays until discarded";

    store.discardAddedTeam(*pending);
    EXPECT_FALSE(hasStoredKeys(pending->id()));
    EXPECT_FALSE(QFileInfo::exists(profileFolder(pending->id())));
}

TEST_F(TeamWorkspaceProfilesTest, discarding_removesWhatTheSheetStoredButNeverAListedTeam)
{
    TeamWorkspaceStore &store = open();
    const std::shared_ptr<TeamWorkspace> pending = store.beginAddingTeam();
    pending->settings().save(teamKeys::alpha);
    ASSERT_TRUE(QFileInfo::exists(profileFolder(pending->id())));
    store.discardAddedTeam(*pending);
    EXPECT_FALSE(QFileInfo::exists(profileFolder(pending->id())));
    EXPECT_FALSE(hasStoredKeys(pending->id()));

    const std::shared_ptr<TeamWorkspace> committed = store.beginAddingTeam();
    committed->settings().save(teamKeys::beta);
    store.commitAddedTeam(committed);
    store.discardAddedTeam(*committed);
    EXPECT_TRUE(committed->settings().readKey().has_value());
    EXPECT_EQ(store.teams().size(), 2);
}

TEST_F(TeamWorkspaceProfilesTest, removing_teamsAndTheSelectionThatFollows)
{
    const QString first = newProfileID();
    const QString second = newProfileID();
    storeProfile(TeamSettingsStore::legacyProfileID, {.key = true});
    storeProfile(first, {.key = true});
    storeProfile(second, {.key = true});
    storeProfileList({first, second});
    TeamWorkspaceStore &store = open();
    const std::shared_ptr<TeamWorkspace> removed = store.teams().at(2);

    store.selectManagementTeam(first);
    store.removeTeam(second);
    EXPECT_EQ(listedIDs(), (QStringList{QStringLiteral("legacy"), first}));
    EXPECT_EQ(store.selectedManagementTeamID(), first) << "another team's removal keeps it";
    EXPECT_EQ(storedProfileList(), QStringList{first});
    EXPECT_FALSE(QFileInfo::exists(profileFolder(second)));
    EXPECT_FALSE(hasStoredKeys(second));
    EXPECT_FALSE(removed->settings().isEnabled()) << "held elsewhere, it is a usable object";

    store.removeTeam(first);
    EXPECT_EQ(store.selectedManagementTeamID(), QStringLiteral("legacy"));
    EXPECT_EQ(storedSelection(), QStringLiteral("legacy"));

    store.removeTeam(QStringLiteral("unknown"));
    EXPECT_EQ(listedIDs(), QStringList{QStringLiteral("legacy")});
}

TEST_F(TeamWorkspaceProfilesTest, removing_theLegacyTeamEmptiesItAndSelectsTheSecond)
{
    const QString first = newProfileID();
    const QString second = newProfileID();
    storeProfile(TeamSettingsStore::legacyProfileID, {.key = true});
    storeProfile(first, {.key = true});
    storeProfile(second, {.key = true});
    storeProfileList({first, second});
    defaults.setValue(TeamWorkspaceStore::selectedManagementTeamIDKey, second);
    TeamWorkspaceStore &store = open();

    store.removeTeam(QStringLiteral("legacy"));
    EXPECT_EQ(listedIDs(), (QStringList{QStringLiteral("legacy"), first, second}));
    EXPECT_EQ(store.selectedManagementTeamID(), first);
    const TeamSettingsStore &legacy = store.teams().first()->settings();
    EXPECT_FALSE(legacy.isEnabled());
    EXPECT_FALSE(legacy.readKey().has_value());
    EXPECT_EQ(storedProfileList(), (QStringList{first, second}));
}

TEST_F(TeamWorkspaceProfilesTest, selecting_onlyAListedTeamAndStoresTheChoice)
{
    const QString listed = newProfileID();
    storeProfile(listed, {.key = true});
    storeProfileList({listed});
    TeamWorkspaceStore &store = open();
    store.selectManagementTeam(QStringLiteral("unknown"));
    EXPECT_EQ(store.selectedManagementTeamID(), QStringLiteral("legacy"));
    store.selectManagementTeam(listed);
    EXPECT_EQ(store.selectedManagementTeamID(), listed);
    EXPECT_EQ(storedSelection(), listed);
    EXPECT_EQ(store.selectedManagementTeam()->id(), listed);
}

TEST_F(TeamWorkspaceProfilesTest, starting_connectsEveryTeamOnceAndLaterTeamsAtCommit)
{
    const QString registered = newProfileID();
    storeProfile(registered, {.enabled = true, .registration = true});
    storeProfileList({registered});
    TeamWorkspaceStore &store = open();
    socketsSettled(store);
    EXPECT_EQ(server.acceptedSocketCount(), 0) << "opening connects nothing";
    // A team committed before the start waits for it.
    const std::shared_ptr<TeamWorkspace> early = store.beginAddingTeam();
    store.commitAddedTeam(early);
    EXPECT_FALSE(early->service().isStarted());

    store.start();
    EXPECT_TRUE(store.isStarted());
    for (const auto &team : store.teams())
        EXPECT_TRUE(team->service().isStarted()) << team->id().toStdString();
    ASSERT_TRUE(waitUntil([&] { return server.acceptedSocketCount() == 1; }));
    ASSERT_TRUE(waitUntil([&] {
        return store.teams().at(1)->service().connectionState().state
               == TeamConnectionState::Case::connected;
    }));

    store.start();
    socketsSettled(store);
    EXPECT_EQ(server.acceptedSocketCount(), 1) << "a second start reconfigures nothing";

    const std::shared_ptr<TeamWorkspace> late = store.beginAddingTeam();
    store.commitAddedTeam(late);
    EXPECT_TRUE(late->service().isStarted());
}

TEST_F(TeamWorkspaceProfilesTest, changesOfATeamReachTheWorkspaceOneTurnLater)
{
    TeamWorkspaceStore &store = open();
    const std::shared_ptr<TeamWorkspace> pending = store.beginAddingTeam();
    store.commitAddedTeam(pending);
    ChangeCount changes(store, &TeamWorkspaceStore::teamChanged);
    pending->settings().setMemberName(QStringLiteral("Grace"));
    EXPECT_EQ(changes.count, 0);
    ASSERT_TRUE(waitUntil([&] { return changes.count == 1; }));

    // A removed team's later changes are no longer the workspace's.
    store.removeTeam(pending->id());
    runQueuedWork();
    changes.count = 0;
    pending->settings().setMemberName(QStringLiteral("Ada"));
    runQueuedWork();
    EXPECT_EQ(changes.count, 0);
}

TEST_F(TeamWorkspaceProfilesTest, memberships_countKeysAndRegistrationsNotSwitches)
{
    TeamWorkspaceStore &store = open();
    const std::shared_ptr<TeamWorkspace> pending = store.beginAddingTeam();
    store.commitAddedTeam(pending);
    EXPECT_FALSE(store.hasTeamMemberships()) << "switched on alone is no membership";

    storeProfile(TeamSettingsStore::legacyProfileID, {.enabled = false, .key = true});
    TeamWorkspaceStore &reopened = open();
    reopened.teams().first()->settings().setEnabled(false);
    EXPECT_TRUE(reopened.hasTeamMemberships()) << "a switched-off team that holds a key";
}

} // namespace
