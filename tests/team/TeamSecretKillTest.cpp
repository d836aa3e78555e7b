#include "TeamSecretWriter.h"
#include "platform/storage/KeyValueStore.h"
#include "support/QtPrinters.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "support/team/WatchedSecrets.h"
#include "team/server/TeamSettingsStore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>
#include <vector>

using namespace tolvaran;
using fixtures::TeamSecretWriter;

namespace {

const QString named = QStringLiteral("c0ffee");

mode_t modeOf(const QString &path)
{
    struct stat status{};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}

ino_t inodeOf(const QString &path)
{
    struct stat status{};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}

// A home whose application-support folder holds one profile's secrets, written by a second
// process.
class SecretHome
{
public:
    explicit SecretHome(const QString &profile)
        : profileID(profile)
    {
        for (const QString &secret : TeamSecretWriter::keys + TeamSecretWriter::credentials)
            fixtures::watchSecret(secret);
    }

    QString support() const { return home.filePath(QStringLiteral("data/Tolvaran")); }
    QString defaultsPath() const { return home.filePath(QStringLiteral("defaults.ini")); }
    // The folder the profile's two secret files live in.
    QString folder() const
    {
        return profileID == TeamSettingsStore::legacyProfileID
                   ? support()
                   : support() + QStringLiteral("/teams/") + profileID;
    }
    QString keyFile() const { return folder() + QStringLiteral("/team-key"); }

    std::unique_ptr<TeamSecretWriter> startWriter() const
    {
        return std::make_unique<TeamSecretWriter>(support(), profileID, defaultsPath());
    }
    // What the program does with the profile when it starts.
    std::unique_ptr<TeamSettingsStore> open()
    {
        return std::make_unique<TeamSettingsStore>(
            defaults, profileID, profileID == TeamSettingsStore::legacyProfileID, support());
    }

    // Everything in the folder but the two secret files.
    QStringList leftovers() const
    {
        QStringList entries = QDir(folder()).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        entries.removeAll(TeamSettingsStore::keyFileName);
        entries.removeAll(TeamSettingsStore::credentialFileName);
        return entries;
    }

    // The files anywhere under the support folder that hold one of the secrets written.
    QStringList filesHoldingASecret() const
    {
        QStringList holding;
        QDirIterator files(support(), QDir::Files | QDir::Hidden | QDir::System,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = file.readAll();
            for (const QString &secret : TeamSecretWriter::keys + TeamSecretWriter::credentials) {
                if (bytes.contains(secret.toUtf8()))
                    holding.append(file.fileName());
            }
        }
        return holding;
    }

    // Stops the writer at moments until it is stopped in the middle of a write, with its
    // temporary copy on disk: one that holds the secret already, or one still empty. Returns
    // that copy's name.
    QString stopInAWrite(TeamSecretWriter &writer, bool holdingTheSecret) const
    {
        QString found;
        writer.stopWhen([&] {
            for (const QString &copy : leftovers()) {
                if ((QFileInfo(folder() + QLatin1Char('/') + copy).size() > 0) == holdingTheSecret)
                    found = copy;
            }
            return !found.isEmpty();
        });
        return found;
    }

    fixtures::TemporaryHome home;
    KeyValueStore defaults{defaultsPath()};
    QString profileID;
};

} // namespace

// 60 writers of a profile's secrets (the legacy profile and a named one in turn), each killed
// at a random moment while it writes: whatever copy a kill leaves beside a secret is gone once
// the program has started again, and the secrets are whole and private.
TEST(TeamSecretKill, noCopyOfASecretOutlivesTheNextStart)
{
    constexpr int trials = 60;
    constexpr int atOnce = 10;
    // Spread over many rounds of writes, so that the kills land at every step of one.
    constexpr quint32 killSpreadMicroseconds = 20'000;
    QRandomGenerator random(60);

    int killsThatLeftACopy = 0;
    QStringList kept;
    for (int first = 0; first < trials; first += atOnce) {
        std::vector<std::unique_ptr<SecretHome>> homes;
        std::vector<std::unique_ptr<TeamSecretWriter>> writers;
        for (int i = first; i < first + atOnce; ++i) {
            homes.push_back(std::make_unique<SecretHome>(
                i % 2 == 0 ? TeamSettingsStore::legacyProfileID : named));
            writers.push_back(homes.back()->startWriter());
        }
        for (auto &writer : writers) {
            // Chooses the moment of the kill; nothing waits for an outcome here.
            QThread::usleep(random.bounded(killSpreadMicroseconds));
            ASSERT_TRUE(writer->kill()) << "a write failed";
        }
        for (size_t i = 0; i < homes.size(); ++i) {
            SecretHome &home = *homes[i];
            SCOPED_TRACE(home.profileID.toStdString());
            if (!home.leftovers().isEmpty())
                ++killsThatLeftACopy;
            const auto store = home.open();
            if (const QStringList left = home.leftovers(); !left.isEmpty())
                kept.append(QString::number(first + int(i)) + QLatin1Char(':') + left.join(','));
            EXPECT_TRUE(TeamSecretWriter::keys.contains(store->readKey().value_or(QString())));
            EXPECT_TRUE(TeamSecretWriter::credentials.contains(
                store->readCredential().value_or(QString())));
            EXPECT_EQ(modeOf(home.keyFile()), 0600u);
            EXPECT_EQ(modeOf(home.folder()), 0700u);
        }
    }
    EXPECT_GT(killsThatLeftACopy, 0) << "no kill landed in a write, so the trial shows nothing";
    EXPECT_TRUE(kept.isEmpty()) << kept.size() << " of " << trials
                                << " trials kept a copy after the next start ("
                                << killsThatLeftACopy << " kills left one): "
                                << kept.join(' ').toStdString();
}

// A writer stopped in the middle of a write, its copy still empty or holding the secret
// already: a write of the same secret and a start beside it leave its write to go through, and
// a copy that holds the secret stays until its writer renames it.
TEST(TeamSecretKill, aLiveWritersWriteGoesThrough)
{
    for (const QString &profileID : {TeamSettingsStore::legacyProfileID, named}) {
        for (const bool holdingTheSecret : {false, true}) {
            SCOPED_TRACE(profileID.toStdString() + (holdingTheSecret ? " holding" : " empty"));
            SecretHome home(profileID);
            auto writer = home.startWriter();
            const QString copy = home.stopInAWrite(*writer, holdingTheSecret);
            ASSERT_FALSE(copy.isEmpty());
            const QString secret = copy.startsWith(QLatin1Char('.') + TeamSettingsStore::keyFileName)
                                       ? TeamSettingsStore::keyFileName
                                       : TeamSettingsStore::credentialFileName;

            auto store = home.open();
            store->writeKey(TeamSecretWriter::keys.first());
            store->saveInstallation(QStringLiteral("team-2"),
                                    TeamSecretWriter::credentials.first(),
                                    TeamInstallationRole::member);
            if (holdingTheSecret) {
                EXPECT_TRUE(home.leftovers().contains(copy));
            }

            // Held open, the file we wrote keeps its inode number from being given to another.
            const QString path = home.folder() + QLatin1Char('/') + secret;
            QFile ours(path);
            ASSERT_TRUE(ours.open(QIODevice::ReadOnly));
            const ino_t ourInode = inodeOf(path);
            writer->resume();
            EXPECT_TRUE(fixtures::waitUntil(
                [&] { return inodeOf(path) != ourInode || !writer->isRunning(); }));
            EXPECT_TRUE(writer->kill()) << "its write failed";
        }
    }
}

// A writer killed in the middle of a write beside a running program leaves a copy; removing
// the team then leaves no file that holds any of its secrets.
TEST(TeamSecretKill, removingATeamLeavesNoCopyOfItsSecrets)
{
    for (const QString &profileID : {TeamSettingsStore::legacyProfileID, named}) {
        SCOPED_TRACE(profileID.toStdString());
        SecretHome home(profileID);
        auto store = home.open();
        auto writer = home.startWriter();
        ASSERT_FALSE(home.stopInAWrite(*writer, true).isEmpty());
        ASSERT_TRUE(writer->kill());

        store->removeStoredProfile();
        EXPECT_EQ(home.filesHoldingASecret(), QStringList());
        EXPECT_EQ(home.leftovers(), QStringList());
    }
}
