#include "platform/storage/KeyValueStore.h"
#include "support/QtPrinters.h"
#include "support/team/TeamTestKeys.h"
#include "support/TemporaryHome.h"
#include "support/team/WatchedSecrets.h"
#include "team/server/TeamSettingsError.h"
#include "team/server/TeamSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>

using namespace tolvaran;
namespace teamKeys = fixtures::teamKeys;

namespace {

mode_t modeOf(const QString &path)
{
    struct stat status{};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}

class TeamSettingsStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fixtures::watchSecret(teamKeys::alpha);
        fixtures::watchSecret(teamKeys::beta);
    }

    std::unique_ptr<TeamSettingsStore> open(const QString &profileID = QStringLiteral("abc"))
    {
        return std::make_unique<TeamSettingsStore>(defaults, profileID,
                                                   profileID == TeamSettingsStore::legacyProfileID,
                                                   support);
    }

    // Makes `store` a registered profile, as a successful registration leaves it.
    static void registerProfile(TeamSettingsStore &store)
    {
        store.saveInstallation(QStringLiteral("team-1"), QStringLiteral("credential-1"),
                               TeamInstallationRole::admin);
    }

    QString profileFolder(const QString &profileID = QStringLiteral("abc")) const
    {
        return support + QStringLiteral("/teams/") + profileID;
    }

    fixtures::TemporaryHome home;
    QString support = home.filePath(QStringLiteral("data/Tolvaran"));
    KeyValueStore defaults{home.filePath(QStringLiteral("defaults.ini"))};
};

} // namespace

TEST_F(TeamSettingsStoreTest, legacyAndNamedProfilesKeepTheirKeysAndFilesApart)
{
    auto legacy = open(TeamSettingsStore::legacyProfileID);
    legacy->setTeamName(QStringLiteral("Old Team"));
    legacy->save(teamKeys::alpha);
    auto named = open();
    named->setTeamName(QStringLiteral("  New Team 2 "));
    named->save(teamKeys::beta);

    EXPECT_EQ(defaults.string(QStringLiteral("team.name")), "Old Team");
    EXPECT_EQ(defaults.string(QStringLiteral("teams.abc.name")), "New Team 2");
    EXPECT_EQ(named->teamName(), "New Team 2");
    EXPECT_EQ(legacy->keyPrefix(), "team");
    EXPECT_EQ(named->keyPrefix(), "teams.abc");
    EXPECT_TRUE(QFileInfo::exists(support + QStringLiteral("/team-key")));
    EXPECT_TRUE(QFileInfo::exists(profileFolder() + QStringLiteral("/team-key")));
    EXPECT_EQ(legacy->readKey(), teamKeys::alpha);
    EXPECT_EQ(named->readKey(), teamKeys::beta);
    EXPECT_NE(legacy->deviceID(), named->deviceID());
}

TEST_F(TeamSettingsStoreTest, opensWithANewDeviceIdKeptFromThenOn)
{
    const QString deviceID = open()->deviceID();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}$"))
                    .match(deviceID)
                    .hasMatch());
    EXPECT_EQ(defaults.string(QStringLiteral("teams.abc.deviceID")), deviceID);
    EXPECT_EQ(open()->deviceID(), deviceID);
    auto fresh = open(QStringLiteral("xyz"));
    EXPECT_EQ(fresh->teamName(), "New Team");
    EXPECT_FALSE(fresh->isEnabled());
    EXPECT_FALSE(fresh->memberName().isEmpty());
}

TEST_F(TeamSettingsStoreTest, aProfileHoldingAMembershipOpensSwitchedOn)
{
    defaults.setValue(QStringLiteral("teams.abc.enabled"), false);
    open()->writeKey(teamKeys::alpha);
    auto keyed = open();
    EXPECT_TRUE(keyed->isEnabled());
    EXPECT_TRUE(keyed->hasStoredKey());
    EXPECT_TRUE(defaults.boolean(QStringLiteral("teams.abc.enabled")));

    auto registered = open(QStringLiteral("reg"));
    registerProfile(*registered);
    defaults.setValue(QStringLiteral("teams.reg.enabled"), false);
    EXPECT_TRUE(open(QStringLiteral("reg"))->isEnabled());

    auto credentialOnly = open(QStringLiteral("half"));
    credentialOnly->saveInstallation(QStringLiteral("team-9"), QStringLiteral("c"),
                                     TeamInstallationRole::member);
    defaults.remove(QStringLiteral("teams.half.id"));
    defaults.setValue(QStringLiteral("teams.half.enabled"), false);
    EXPECT_FALSE(open(QStringLiteral("half"))->isEnabled());
}

TEST_F(TeamSettingsStoreTest, namesAreTrimmedAndCountedInCharacters)
{
    const QString eighty(80, QLatin1Char('m'));
    // A thumbs-up with a skin tone is two code points and one character.
    QString eightyEmoji;
    for (int i = 0; i < 80; ++i)
        eightyEmoji += QStringLiteral("\U0001F44D\U0001F3FD");
    struct Case
    {
        const char *name;
        QString member;
        QString team;
        std::optional<TeamSettingsError::Kind> error;
    };
    const Case cases[] = {
        {"eighty pass", QStringLiteral("  ") + eighty + QStringLiteral("\n"), eighty, {}},
        {"eighty emoji pass", eightyEmoji, eightyEmoji, {}},
        {"member of 81", eighty + QStringLiteral("m"), QStringLiteral("T"),
         TeamSettingsError::Kind::invalidMemberName},
        {"member of spaces", QStringLiteral("   "), QStringLiteral("T"),
         TeamSettingsError::Kind::invalidMemberName},
        {"team of 81", QStringLiteral("Ana"), eighty + QStringLiteral("t"),
         TeamSettingsError::Kind::invalidTeamName},
        {"empty team", QStringLiteral("Ana"), QString(), TeamSettingsError::Kind::invalidTeamName},
        {"both invalid", QString(), QString(), TeamSettingsError::Kind::invalidMemberName},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto store = open();
        store->setMemberName(c.member);
        store->setTeamName(c.team);
        std::optional<TeamSettingsError::Kind> thrown;
        try {
            store->save();
        } catch (const TeamSettingsError &error) {
            thrown = error.kind();
        }
        EXPECT_EQ(thrown, c.error);
        if (c.error) {
            EXPECT_FALSE(defaults.contains(QStringLiteral("teams.abc.memberName")));
            EXPECT_EQ(store->memberName(), c.member);
        } else {
            EXPECT_EQ(store->memberName(), c.member.trimmed());
            defaults.remove(QStringLiteral("teams.abc.memberName"));
        }
    }
}

TEST_F(TeamSettingsStoreTest, aNewKeyIsANewMembershipButTheSameKeyIsNot)
{
    auto store = open();
    store->save(teamKeys::alpha);
    registerProfile(*store);

    // 23 characters: refused before anything changes.
    EXPECT_THROW(store->save(QString(23, QLatin1Char('k'))), TeamSettingsError);
    EXPECT_EQ(store->teamID(), "team-1");

    // The same key, even pasted with stray spaces, keeps the registration.
    store->save(QStringLiteral("  ") + teamKeys::alpha + QStringLiteral("\n"));
    EXPECT_EQ(store->teamID(), "team-1");
    EXPECT_EQ(store->installationRole(), TeamInstallationRole::admin);
    EXPECT_EQ(store->readCredential(), "credential-1");
    EXPECT_EQ(store->readKey(), teamKeys::alpha);

    // A key of white space only is no key: it neither replaces the key nor drops the
    // registration, however long it is.
    store->save(QString(40, QLatin1Char(' ')));
    EXPECT_EQ(store->teamID(), "team-1");
    EXPECT_EQ(store->readKey(), teamKeys::alpha);

    store->save(teamKeys::beta);
    EXPECT_EQ(store->readKey(), teamKeys::beta);
    EXPECT_FALSE(store->teamID());
    EXPECT_FALSE(store->installationRole());
    EXPECT_FALSE(store->readCredential());
    EXPECT_FALSE(
        QFileInfo::exists(profileFolder() + QStringLiteral("/team-installation-credential")));
}

TEST_F(TeamSettingsStoreTest, switchingOnNeedsAKeyOrARegistration)
{
    auto store = open();
    store->save();
    store->setEnabled(true);
    try {
        store->save();
        ADD_FAILURE() << "saved an enabled profile without a key";
    } catch (const TeamSettingsError &error) {
        EXPECT_EQ(error.kind(), TeamSettingsError::Kind::missingKey);
        EXPECT_EQ(error.message(), "Enter the shared team key before enabling team presence.");
    }
    EXPECT_FALSE(defaults.boolean(QStringLiteral("teams.abc.enabled")));
    registerProfile(*store);
    store->save();
    EXPECT_TRUE(defaults.boolean(QStringLiteral("teams.abc.enabled")));
    EXPECT_FALSE(store->hasStoredKey());
}

TEST_F(TeamSettingsStoreTest, authorizationPrefersTheDeviceIdentity)
{
    auto store = open();
    EXPECT_FALSE(store->authorizationHeader());
    store->writeKey(teamKeys::alpha);
    EXPECT_EQ(store->authorizationHeader(), "Bearer " + teamKeys::alpha);
    defaults.setValue(QStringLiteral("teams.abc.id"), QStringLiteral("team-1"));
    EXPECT_EQ(store->authorizationHeader(), "Bearer " + teamKeys::alpha); // no credential yet
    registerProfile(*store);
    EXPECT_EQ(store->authorizationHeader(),
              "Device team-1." + store->deviceID() + ".credential-1");
    store->clearTeamKeyForMember();
    EXPECT_EQ(store->authorizationHeader(),
              "Device team-1." + store->deviceID() + ".credential-1");
    EXPECT_TRUE(store->hasConfiguredMembership());
}

TEST_F(TeamSettingsStoreTest, theServersTeamNameIsKeptWhenNotBlank)
{
    auto store = open();
    int changes = 0;
    QObject::connect(store.get(), &TeamSettingsStore::teamNameChanged, [&changes] { ++changes; });
    store->applyServerTeamName(QStringLiteral("   "));
    EXPECT_EQ(store->teamName(), "New Team");
    EXPECT_EQ(changes, 0);
    store->applyServerTeamName(QString(100, QLatin1Char('n')));
    EXPECT_EQ(store->teamName(), QString(80, QLatin1Char('n')));
    EXPECT_EQ(defaults.string(QStringLiteral("teams.abc.name")), QString(80, QLatin1Char('n')));
    EXPECT_EQ(changes, 1);
}

TEST_F(TeamSettingsStoreTest, removingTheLegacyProfileLeavesTheSharedFolder)
{
    auto legacy = open(TeamSettingsStore::legacyProfileID);
    legacy->save(teamKeys::alpha);
    registerProfile(*legacy);
    const QString catalog = support + QStringLiteral("/project-catalog-v1.sqlite");
    QFile(catalog).open(QIODevice::WriteOnly);
    const QString deviceID = legacy->deviceID();

    legacy->removeStoredProfile();
    EXPECT_FALSE(legacy->isEnabled());
    EXPECT_FALSE(legacy->hasStoredKey());
    EXPECT_FALSE(QFileInfo::exists(support + QStringLiteral("/team-key")));
    EXPECT_FALSE(QFileInfo::exists(support + QStringLiteral("/team-installation-credential")));
    EXPECT_TRUE(QFileInfo::exists(catalog));
    for (const char *key : {"team.enabled", "team.name", "team.deviceID", "team.id",
                            "team.installationRole", "team.memberName"})
        EXPECT_FALSE(defaults.contains(QString::fromLatin1(key))) << key;
    EXPECT_NE(open(TeamSettingsStore::legacyProfileID)->deviceID(), deviceID);
}

TEST_F(TeamSettingsStoreTest, removingANamedProfileDeletesItsFolder)
{
    auto store = open();
    store->save(teamKeys::alpha);
    registerProfile(*store);
    store->removeStoredProfile();
    EXPECT_FALSE(QFileInfo::exists(profileFolder()));
    EXPECT_TRUE(QFileInfo::exists(support + QStringLiteral("/teams")));
}

TEST_F(TeamSettingsStoreTest, aProfileIdThatIsNotAFolderNameHasNoFiles)
{
    open()->writeKey(teamKeys::alpha);
    for (const QString &id : {QStringLiteral(".."), QStringLiteral("."), QStringLiteral("a/b")}) {
        auto store = open(id);
        EXPECT_FALSE(store->credentialsFilePath(TeamSettingsStore::keyFileName))
            << id.toStdString();
        EXPECT_THROW(store->writeKey(teamKeys::beta), TeamSettingsError);
        store->removeStoredProfile();
    }
    EXPECT_TRUE(QFileInfo::exists(profileFolder() + QStringLiteral("/team-key")));
}

TEST_F(TeamSettingsStoreTest, generatedKeysAreFortyThreeUrlSafeCharacters)
{
    QSet<QString> seen;
    const QRegularExpression alphabet(QStringLiteral("^[A-Za-z0-9_-]{43}$"));
    for (int i = 0; i < 50; ++i) {
        const QString key = TeamSettingsStore::generateTeamKey();
        EXPECT_TRUE(alphabet.match(key).hasMatch()) << key.toStdString();
        seen.insert(key);
    }
    EXPECT_EQ(seen.size(), 50);
}

TEST_F(TeamSettingsStoreTest, secretFilesArePrivateAndTheirFolderTightened)
{
    // Folders made for a secret are private from the start, parents included.
    auto fresh = open(QStringLiteral("fresh"));
    const mode_t oldMask = ::umask(0);
    registerProfile(*fresh);
    fresh->writeKey(teamKeys::beta);
    ::umask(oldMask);
    EXPECT_EQ(modeOf(profileFolder(QStringLiteral("fresh"))), 0700u);
    EXPECT_EQ(modeOf(support + QStringLiteral("/teams")), 0700u);
    EXPECT_EQ(modeOf(profileFolder(QStringLiteral("fresh")) + QStringLiteral("/team-key")), 0600u);
    EXPECT_EQ(modeOf(profileFolder(QStringLiteral("fresh"))
                     + QStringLiteral("/team-installation-credential")),
              0600u);

    // Folders left readable by others (0755) by someone else: both writes tighten them.
    for (const char *which : {"key", "credential"}) {
        SCOPED_TRACE(which);
        const QString profile = QString::fromLatin1(which);
        ASSERT_TRUE(QDir().mkpath(profileFolder(profile)));
        ASSERT_EQ(::chmod(QFile::encodeName(profileFolder(profile)).constData(), 0755), 0);
        auto store = open(profile);
        QString file;
        if (profile == QLatin1String("key")) {
            store->writeKey(teamKeys::alpha);
            file = profileFolder(profile) + QStringLiteral("/team-key");
        } else {
            registerProfile(*store);
            file = profileFolder(profile) + QStringLiteral("/team-installation-credential");
        }
        EXPECT_EQ(modeOf(profileFolder(profile)), 0700u);
        EXPECT_EQ(modeOf(file), 0600u);
        EXPECT_EQ(QDir(profileFolder(profile)).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QFileInfo(file).fileName()});
    }
}

TEST_F(TeamSettingsStoreTest, aFailedWriteKeepsTheOldSecretAndLeavesNoTemporaryFile)
{
    auto store = open();
    store->writeKey(teamKeys::alpha);
    // A folder where the credential file should be: the final rename cannot replace it.
    ASSERT_TRUE(QDir().mkpath(profileFolder() + QStringLiteral("/team-installation-credential")));
    try {
        registerProfile(*store);
        ADD_FAILURE() << "stored a credential over a folder";
    } catch (const TeamSettingsError &error) {
        EXPECT_EQ(error.kind(), TeamSettingsError::Kind::credentialStorageFailure);
        EXPECT_EQ(error.message(),
                  "The shared team key could not be saved in the app's private data folder.");
    }
    EXPECT_FALSE(store->teamID()); // nothing else stored
    EXPECT_EQ(QDir(profileFolder()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("team-key")});
    EXPECT_EQ(store->readKey(), teamKeys::alpha);

    auto nowhere = std::make_unique<TeamSettingsStore>(defaults, QStringLiteral("n"), false,
                                                       QString());
    EXPECT_THROW(nowhere->writeKey(teamKeys::alpha), TeamSettingsError);
    EXPECT_FALSE(nowhere->readKey());
}

TEST_F(TeamSettingsStoreTest, unreadableOrBlankSecretsReadAsAbsent)
{
    const QString keyFile = profileFolder() + QStringLiteral("/team-key");
    struct Case
    {
        const char *name;
        QByteArray contents;
    };
    const Case cases[] = {
        {"blank", QByteArray(" \n\t ")},
        {"empty", QByteArray()},
        {"not UTF-8", QByteArray("\xff\xfe key bytes that are not text \xc3")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        home.writeFile(QStringLiteral("data/Tolvaran/teams/abc/team-key"), c.contents);
        auto store = open();
        EXPECT_FALSE(store->readKey());
        EXPECT_FALSE(store->hasStoredKey());
        EXPECT_FALSE(store->authorizationHeader());
    }
    QFile::remove(keyFile);
}
