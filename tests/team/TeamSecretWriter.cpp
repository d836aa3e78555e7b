#include "TeamSecretWriter.h"

#include "platform/storage/KeyValueStore.h"
#include "support/TeamTestKeys.h"
#include "support/WaitUntil.h"
#include "team/server/TeamSettingsError.h"
#include "team/server/TeamSettingsStore.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace tolvaran::fixtures {

namespace {

constexpr const char *writerArgument = "--write-team-secrets-until-killed";
constexpr int failedWrite = 3;

// The state letter of /proc/<pid>/stat: 'T' once a SIGSTOP has taken effect.
char processState(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    // The command name in parentheses may hold spaces; the state follows its last ')'.
    const qsizetype end = line.lastIndexOf(')');
    return end >= 0 && end + 2 < line.size() ? line.at(end + 2) : 0;
}

} // namespace

const QStringList TeamSecretWriter::keys = {teamKeys::alpha, teamKeys::beta};
const QStringList TeamSecretWriter::credentials = {
    QStringLiteral("FixtureCredentialOne-kept-only-in-its-file"),
    QStringLiteral("FixtureCredentialTwo-kept-only-in-its-file")};

TeamSecretWriter::TeamSecretWriter(const QString &support, const QString &profileID,
                                   const QString &defaultsPath)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(writerArgument), support, profileID, defaultsPath});
    const bool ready = waitUntil([this] {
        return m_process.canReadLine() || m_process.state() == QProcess::NotRunning;
    });
    if (!ready || m_process.readLine() != "ready\n") {
        kill();
        throw std::runtime_error("the secret writer did not start");
    }
}

TeamSecretWriter::~TeamSecretWriter()
{
    kill();
}

bool TeamSecretWriter::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(-1);
    }
    return m_process.exitStatus() == QProcess::CrashExit;
}

void TeamSecretWriter::stop()
{
    const qint64 pid = m_process.processId();
    ::kill(pid_t(pid), SIGSTOP);
    if (!waitUntil([pid] { return processState(pid) == 'T'; }))
        throw std::runtime_error("the secret writer did not stop");
}

void TeamSecretWriter::resume()
{
    ::kill(pid_t(m_process.processId()), SIGCONT);
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
            if (round == 0) {
                std::fputs("ready\n", stdout);
                std::fflush(stdout);
            }
        }
    } catch (const TeamSettingsError &) {
        return failedWrite;
    }
}

} // namespace tolvaran::fixtures
