#include "TeamSecretWriter.h"

#include "platform/storage/KeyValueStore.h"
#include "support/team/TeamTestKeys.h"
#include "team/server/TeamSettingsError.h"
#include "team/server/TeamSettingsStore.h"

#include <QFile>

#include <cstring>

namespace tolvaran::fixtures {

namespace {

constexpr const char *writerArgument = "--write-team-secrets-until-killed";
constexpr int failedWrite = 3;

} // namespace

const QStringList TeamSecretWriter::keys = {teamKeys::alpha, teamKeys::beta};
const QStringList TeamSecretWriter::credentials = {
    QStringLiteral("FixtureCredentialOne-kept-only-in-its-file"),
    QStringLiteral("FixtureCredentialTwo-kept-only-in-its-file")};

TeamSecretWriter::TeamSecretWriter(const QString &support, const QString &profileID,
                                   const QString &defaultsPath)
    : m_process({QString::fromLatin1(writerArgument), support, profileID, defaultsPath})
{
}

std::optional<int> TeamSecretWriter::runIfAsked(int argc, char *argv[])
{
    if (argc != 5 || std::strcmp(argv[1], writerArgument) != 0)
        return std::nullopt;
    const QString support = QFile::decodeName(argv[2]);
    const QString profileID = QFile::decodeName(argv[3]);
    KeyValueStore defaults(QFile::decodeName(argv[4]));
    TeamSettingsStore store(defaults, profileID,
                            profileID == TeamSettingsStore::legacyProfileID, support);
    try {
        for (qsizetype round = 0;; ++round) {
            store.writeKey(keys.at(round % keys.size()));
            store.saveInstallation(QStringLiteral("team-1"),
                                   credentials.at(round % credentials.size()),
                                   TeamInstallationRole::member);
            if (round == 0)
                RestartedTestProgram::announceReady();
        }
    } catch (const TeamSettingsError &) {
        return failedWrite;
    }
}

} // namespace tolvaran::fixtures
