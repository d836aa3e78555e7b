// A scripted team for the demonstration home (scripts/demo-team.sh): the team server's test
// double on 127.0.0.1, serving one team with two teammates on the demonstration repository
// cobalt-ui: Grace, connected, editing the same file on the same branch from another commit
// (a critical overlap), and Mira, disconnected, with other changes. A few seconds after this
// device first reports its state, Grace pushes a commit, which the window announces.
//
// Run it with XDG_CONFIG_HOME and XDG_DATA_HOME pointing into the demonstration home: it
// stores there, for the program, the team profile that holds the team's key, then writes the
// server's address to ADDRESS_FILE and serves until it is ended.
//
// usage: demo_team_server ADDRESS_FILE
#include "data/git/ProjectRepositoryStore.h"
#include "platform/storage/KeyValueStore.h"
#include "support/team/LocalTeamServer.h"
#include "team/presence/TeamPresenceRules.h"
#include "team/server/TeamSettingsError.h"
#include "team/server/TeamSettingsStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTimer>

#include <chrono>
#include <cstdio>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

const QString teamName = QStringLiteral("Design Systems");
// The address the demonstration's chats record as cobalt-ui's origin.
const QString demoRemote = QStringLiteral("https://git.example.com/demo/cobalt-ui.git");
const QString demoBranch = QStringLiteral("main");
// How long after this device's first state Grace's commit arrives.
constexpr std::chrono::seconds commitDelay{3};

qint64 millisecondsAgo(qint64 seconds)
{
    return QDateTime::currentMSecsSinceEpoch() - seconds * 1000;
}

SharedProjectState teammateProject(const QString &wireID, const QString &headSha,
                                   const QStringList &changedFiles, const QString &summary)
{
    SharedProjectState project;
    project.repositoryId = wireID;
    project.repositoryName = QStringLiteral("cobalt-ui");
    project.branch = demoBranch;
    project.headSha = headSha;
    project.isDirty = true;
    project.modifiedCount = int(changedFiles.size());
    project.additions = 42;
    project.deletions = 7;
    project.changedFiles = changedFiles;
    project.lastActivityAt = millisecondsAgo(90);
    project.workSummary = summary;
    project.usage = TeamProjectUsagePayload{2'400'000, 310'000, 6.5, 48.0};
    return project;
}

StoredDevicePresence teammate(const QString &deviceId, const QString &memberName,
                              const SharedProjectState &project, bool connected)
{
    StoredDevicePresence presence;
    presence.type = QStringLiteral("state.update");
    presence.protocolVersion = 2;
    presence.deviceId = deviceId;
    presence.memberName = memberName;
    presence.projects = {project};
    presence.serverUpdatedAt = millisecondsAgo(connected ? 5 : 3 * 3600);
    presence.isConnected = connected;
    return presence;
}

// The profile the program finds at start: switched on, named, holding the team's key. It
// registers itself with the server on its first connection.
bool storeProfile(const QString &key)
{
    KeyValueStore defaults(KeyValueStore::defaultFilePath());
    TeamSettingsStore settings(defaults, TeamSettingsStore::legacyProfileID, true);
    settings.setMemberName(QStringLiteral("Ada"));
    settings.setTeamName(teamName);
    settings.setEnabled(true);
    try {
        settings.save(key);
    } catch (const TeamSettingsError &error) {
        std::fprintf(stderr, "demo_team_server: %s\n", error.what());
        return false;
    }
    settings.setHasStoredKey(true);
    return defaults.sync();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2) {
        std::fprintf(stderr, "usage: demo_team_server ADDRESS_FILE\n");
        return 2;
    }
    LocalTeamServer server;
    if (!server.listen())
        return 1;
    const QString key = TeamSettingsStore::generateTeamKey();
    const QString teamId = server.createTeam(teamName, key);
    if (!storeProfile(key))
        return 1;

    const auto identity = ProjectRepositoryStore::repositoryIdentity(
        ProjectRepositoryStore::normalizedRemote(demoRemote).value_or(QString()));
    if (!identity)
        return 1;
    const QString wireID = TeamPresenceRules::wireRepositoryID(teamId, identity->id);
    // The server names the repository as shared as soon as anyone asks.
    server.team(teamId).overlapOverride = QStringList{wireID};
    server.injectPresence(
        teamId, teammate(QStringLiteral("grace-workstation"), QStringLiteral("Grace"),
                         teammateProject(wireID, QStringLiteral("4f1c9e07d2ab"),
                                         {QStringLiteral("src/main.c"),
                                          QStringLiteral("src/theme.c")},
                                         QStringLiteral("Reworking the focus styles of the "
                                                        "button theme.")),
                         true));
    server.injectPresence(
        teamId, teammate(QStringLiteral("mira-laptop"), QStringLiteral("Mira"),
                         teammateProject(wireID, QStringLiteral("9b27d51c0e44"),
                                         {QStringLiteral("docs/tokens.md")},
                                         QStringLiteral("Documenting the colour tokens.")),
                         false));

    bool commitScheduled = false;
    QObject::connect(&server, &LocalTeamServer::frameReceived, &server, [&] {
        if (commitScheduled || server.framesFromClients().isEmpty())
            return;
        commitScheduled = true;
        QTimer::singleShot(commitDelay, &server, [&server, teamId, wireID] {
            TeamCommitEvent commit;
            commit.id = QStringLiteral("demo-commit-1");
            commit.deviceId = QStringLiteral("grace-workstation");
            commit.memberName = QStringLiteral("Grace");
            commit.repositoryId = wireID;
            commit.repositoryName = QStringLiteral("cobalt-ui");
            commit.branch = demoBranch;
            commit.headSha = QStringLiteral("4f1c9e07d2ab5e61c0a8");
            commit.subject = QStringLiteral("Tighten the focus ring on buttons");
            commit.committedAt = millisecondsAgo(2);
            commit.serverReceivedAt = millisecondsAgo(1);
            server.injectCommit(teamId, commit);
            server.sendSnapshots(teamId);
        });
    });

    QFile address(arguments[1]);
    if (!address.open(QIODevice::WriteOnly) || address.write(server.baseUrl().toUtf8()) < 0)
        return 1;
    address.close();
    return QCoreApplication::exec();
}
