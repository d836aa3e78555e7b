#include "UpdateWorld.h"

#include "support/update/ReleaseBuilder.h"
#include "support/StandInPrograms.h"
#include "update/ApplicationSignature.h"
#include "update/FolderExchange.h"

#include <QDir>
#include <QFile>

#include <stdexcept>

namespace tolvaran::fixtures {

namespace {

// How long a started copy runs: long enough to count as started (5 checks of 0.2 s, below).
constexpr int copyRunSeconds = 4;
constexpr int settleChecks = 5;

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                  | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

UpdateWorld::UpdateWorld()
    : m_standIn(std::make_unique<QProcess>())
{
    if (!server.listen())
        throw std::runtime_error("the local update server could not listen");
    QDir().mkpath(temporaryFolder());
    writeRelease(appsFolder(), runningVersion);
    m_standIn->start(QStringLiteral("sleep"), {QStringLiteral("120")});
    if (!m_standIn->waitForStarted())
        throw std::runtime_error("could not start the stand-in process");
}

UpdateWorld::~UpdateWorld()
{
    endStandIn();
}

void UpdateWorld::endStandIn()
{
    if (m_standIn->state() != QProcess::NotRunning) {
        m_standIn->kill();
        m_standIn->waitForFinished();
    }
}

AppUpdateEnvironment UpdateWorld::environment(const QString &executable)
{
    AppUpdateEnvironment environment;
    environment.serverURL = ReleaseBuilder::baseAddress(server);
    environment.currentVersion = runningVersion;
    environment.runningExecutable =
        executable.isEmpty() ? runningFolder() + QStringLiteral("/bin/tolvaran") : executable;
    environment.releaseSigningKey = key.publicKey();
    environment.temporaryDirectory = temporaryFolder();
    environment.processID = standInProcessID();
    environment.settleChecks = settleChecks;
    environment.quitApplication = [this] { ++quitCalls; };
    return environment;
}

QString UpdateWorld::folderExchangeDelegation(std::chrono::milliseconds delay)
{
    return QStringLiteral("case \"$1\" in\n"
                          "  %1|%2)\n"
                          "    sleep %3\n"
                          "    exec %4 \"$@\" ;;\n"
                          "esac\n")
        .arg(QString::fromLatin1(FolderExchange::argument),
             QString::fromLatin1(FolderExchange::replaceArgument))
        .arg(double(delay.count()) / 1000.0)
        .arg(shellQuoted(QStringLiteral(TOLVARAN_PROGRAM)));
}

QString UpdateWorld::folderExchangeRefusal()
{
    return QStringLiteral("[ \"$1\" = %1 ] && exit %2\n")
        .arg(QString::fromLatin1(FolderExchange::argument))
        .arg(FolderExchange::unsupported);
}

void UpdateWorld::refuseFolderExchange()
{
    ReleaseBuilder::writeApplicationFolder(
        runningFolder(), runningVersion,
        folderExchangeRefusal() + folderExchangeDelegation() + startingProgram(runningVersion));
    ReleaseBuilder::signApplicationFolder(runningFolder(), key);
}

QString UpdateWorld::startingProgram(const QString &version) const
{
    return QStringLiteral("echo %1 >> '%2'\nsleep %3")
        .arg(version, startedLog())
        .arg(copyRunSeconds);
}

void UpdateWorld::writeRelease(const QString &parent, const QString &version,
                               const QString &programBody,
                               const std::function<void(const QString &)> &edit,
                               const ReleaseSigningKey *signer)
{
    const QString folder = parent + QStringLiteral("/Tolvaran");
    ReleaseBuilder::writeApplicationFolder(
        folder, version,
        folderExchangeDelegation()
            + (programBody.isEmpty() ? startingProgram(version) : programBody));
    if (edit)
        edit(folder);
    ReleaseBuilder::signApplicationFolder(folder, signer ? *signer : key);
}

QByteArray UpdateWorld::releaseArchive(const QString &version, const QString &programBody,
                                       const std::function<void(const QString &)> &edit,
                                       const ReleaseSigningKey *signer)
{
    const QString parent = home.filePath(QStringLiteral("releases/%1").arg(++m_releaseCount));
    writeRelease(parent, version, programBody, edit, signer);
    return ReleaseBuilder::archiveOf(parent);
}

QByteArray UpdateWorld::runningListing() const
{
    return ApplicationSignature::canonicalListing(runningFolder());
}

QStringList UpdateWorld::appsEntries() const
{
    return entries(appsFolder());
}

QStringList UpdateWorld::temporaryEntries() const
{
    return entries(temporaryFolder());
}

QStringList UpdateWorld::startedVersions() const
{
    QFile file(startedLog());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace tolvaran::fixtures
