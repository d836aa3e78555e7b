#pragma once

#include "TeamWorkspaceWorld.h"

#include "team/presence/TeamPresenceRules.h"

namespace tolvaran::fixtures {

inline const QString appPath = QStringLiteral("/work/app");
inline const QString appRepository = QStringLiteral("repository-app");

inline SharedProjectState activeProject(const QString &repositoryId)
{
    SharedProjectState state;
    state.repositoryId = repositoryId;
    state.repositoryName = QStringLiteral("app");
    state.branch = QStringLiteral("main");
    state.isDirty = true;
    state.modifiedCount = 1;
    state.changedFiles = {QStringLiteral("src/main.cpp")};
    return state;
}

inline TeamCommitEvent commit(const QString &id, qint64 receivedAt)
{
    TeamCommitEvent event;
    event.id = id;
    event.deviceId = QStringLiteral("grace-laptop");
    event.memberName = QStringLiteral("Grace");
    event.repositoryName = QStringLiteral("app");
    event.subject = QStringLiteral("Fix the build");
    event.headSha = QStringLiteral("0123456789abcdef");
    event.committedAt = receivedAt;
    event.serverReceivedAt = receivedAt;
    return event;
}

// Three registered teams, each with Grace at work on the repository of this device's scanned
// project at appPath.
class TeamWorkspaceSharedProject : public TeamWorkspaceWorld
{
protected:
    void SetUp() override
    {
        TeamWorkspaceWorld::SetUp();
        LocalTeamProjectState scanned;
        scanned.shared = activeProject(appRepository);
        cache.setTeamStates({{appPath, scanned}});
        QStringList ids;
        for (const QString &name :
             {QStringLiteral("beta"), QStringLiteral("Alpha"), QStringLiteral("Gamma")}) {
            const QString id = newProfileID();
            const QString teamId = storeProfile(id, {.enabled = true, .registration = true}, name);
            addGrace(teamId);
            ids.append(id);
            teamIds.append(teamId);
        }
        storeProfileList(ids);
        open().start();
        // The legacy team is switched off; the others connect.
        ASSERT_TRUE(waitUntil([this] {
            for (qsizetype i = 1; i < workspace->teams().size(); ++i) {
                if (!workspace->teams().at(i)->service().summariesByPath().contains(appPath))
                    return false;
            }
            return true;
        }));
    }

    void addGrace(const QString &teamId)
    {
        const QString wireID = TeamPresenceRules::wireRepositoryID(teamId, appRepository);
        server.team(teamId).overlapOverride = QStringList{wireID};
        StoredDevicePresence grace;
        grace.type = QStringLiteral("presence.update");
        grace.protocolVersion = 2;
        grace.deviceId = QStringLiteral("grace-laptop");
        grace.memberName = QStringLiteral("Grace");
        grace.projects = {activeProject(wireID)};
        grace.projects.first().usage = TeamProjectUsagePayload{1000, 100, 5.0, std::nullopt};
        grace.serverUpdatedAt = 1'700'000'000'000;
        grace.isConnected = true;
        server.injectPresence(teamId, grace);
    }

    TeamWorkspace &team(qsizetype index) const { return *workspace->teams().at(index); }

    QStringList teamIds; // on the server, in profile order
};

} // namespace tolvaran::fixtures
