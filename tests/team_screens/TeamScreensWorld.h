#pragma once

#include "data/git/ProjectMetadataCache.h"
#include "platform/storage/KeyValueStore.h"
#include "support/team/LocalTeamServer.h"
#include "support/team/ManualTeamClock.h"
#include "support/QtPrinters.h"
#include "support/ScopedEnvironment.h"
#include "support/team/TeamTestKeys.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "team/presence/TeamPresenceRules.h"
#include "team/presence/TeamPresenceService.h"
#include "team/server/TeamServerAddress.h"
#include "team/server/TeamSettingsStore.h"
#include "team/TeamWorkspace.h"
#include "team_screens/TeamScreenTeam.h"
#include "team_screens/TeamScreenWorkspace.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

// A team as the screens see it: a real team profile and service (on a manual clock).
class FixedScreenTeam final : public tolvaran::TeamScreenTeam
{
public:
    FixedScreenTeam(tolvaran::KeyValueStore &defaults, const QString &profileID,
                    const QString &supportFolder, tolvaran::ProjectMetadataCache &cache,
                    tolvaran::TeamClock &clock)
        : m_team(profileID,
                 std::make_unique<tolvaran::TeamSettingsStore>(defaults, profileID, false,
                                                               supportFolder),
                 cache, clock)
    {
    }

    QString id() const override { return m_team.id(); }
    tolvaran::TeamSettingsStore &settings() const override { return m_team.settings(); }
    tolvaran::TeamPresenceService &service() const override { return m_team.service(); }

private:
    tolvaran::TeamWorkspace m_team;
};

// The workspace's behaviour as the dashboard relies on it: pending teams are listed by a
// commit only with a membership, and a discarded or removed team's stored profile is gone.
class FakeScreenWorkspace final : public tolvaran::TeamScreenWorkspace
{
public:
    FakeScreenWorkspace(tolvaran::KeyValueStore &defaults, QString supportFolder,
                        tolvaran::ProjectMetadataCache &cache, tolvaran::TeamClock &clock)
        : m_defaults(defaults)
        , m_supportFolder(std::move(supportFolder))
        , m_cache(cache)
        , m_clock(clock)
    {
    }

    FixedScreenTeam *makeTeam(const QString &id)
    {
        m_owned.push_back(
            std::make_unique<FixedScreenTeam>(m_defaults, id, m_supportFolder, m_cache, m_clock));
        FixedScreenTeam *team = m_owned.back().get();
        tolvaran::onTeamChange(*team, this, [this, team] {
            if (m_listed.contains(team))
                Q_EMIT changed();
        });
        return team;
    }
    FixedScreenTeam *addListedTeam(const QString &id)
    {
        FixedScreenTeam *team = makeTeam(id);
        m_listed.append(team);
        if (m_selectedID.isEmpty())
            m_selectedID = id;
        Q_EMIT changed();
        return team;
    }

    QList<tolvaran::TeamScreenTeam *> teams() const override
    {
        return {m_listed.begin(), m_listed.end()};
    }
    QString selectedManagementTeamID() const override { return m_selectedID; }
    tolvaran::TeamScreenTeam *selectedManagementTeam() const override
    {
        for (FixedScreenTeam *team : m_listed) {
            if (team->id() == m_selectedID)
                return team;
        }
        return nullptr;
    }
    void selectManagementTeam(const QString &teamID) override
    {
        m_selectedID = teamID;
        Q_EMIT changed();
    }
    tolvaran::TeamScreenTeam *beginAddingTeam() override
    {
        FixedScreenTeam *team = makeTeam(QStringLiteral("added-%1").arg(++m_addedCount));
        team->settings().setEnabled(true);
        return team;
    }
    void commitAddedTeam(tolvaran::TeamScreenTeam *team) override
    {
        auto *fixed = static_cast<FixedScreenTeam *>(team);
        if (m_listed.contains(fixed) || !fixed->settings().hasConfiguredMembership())
            return;
        m_listed.append(fixed);
        m_selectedID = fixed->id();
        Q_EMIT changed();
    }
    void discardAddedTeam(tolvaran::TeamScreenTeam *team) override
    {
        auto *fixed = static_cast<FixedScreenTeam *>(team);
        if (m_listed.contains(fixed))
            return;
        ++discards;
        forget(fixed);
    }
    void removeTeam(const QString &teamID) override
    {
        for (FixedScreenTeam *team : m_listed) {
            if (team->id() == teamID) {
                m_listed.removeOne(team);
                forget(team);
                Q_EMIT changed();
                return;
            }
        }
    }
    bool hasTeamMemberships() const override
    {
        for (FixedScreenTeam *team : m_listed) {
            if (team->settings().hasConfiguredMembership())
                return true;
        }
        return false;
    }

    int discards = 0;

private:
    void forget(FixedScreenTeam *team)
    {
        team->settings().removeStoredProfile();
        for (auto it = m_owned.begin(); it != m_owned.end(); ++it) {
            if (it->get() == team) {
                it->release()->deleteLater();
                m_owned.erase(it);
                return;
            }
        }
    }

    tolvaran::KeyValueStore &m_defaults;
    QString m_supportFolder;
    tolvaran::ProjectMetadataCache &m_cache;
    tolvaran::TeamClock &m_clock;
    std::vector<std::unique_ptr<FixedScreenTeam>> m_owned;
    QList<FixedScreenTeam *> m_listed;
    QString m_selectedID;
    int m_addedCount = 0;
};

// A teammate's connected device on the team, with `projects` (wire identifiers).
inline void injectTeammate(tolvaran::fixtures::LocalTeamServer &server, const QString &teamId,
                           const QString &deviceId, const QString &name,
                           const QList<tolvaran::SharedProjectState> &projects = {})
{
    tolvaran::StoredDevicePresence presence;
    presence.type = QStringLiteral("state.update");
    presence.protocolVersion = 2;
    presence.deviceId = deviceId;
    presence.memberName = name;
    presence.projects = projects;
    presence.serverUpdatedAt = 1'700'000'000'000;
    presence.isConnected = true;
    server.injectPresence(teamId, presence);
}

// Local projects of this computer (stored as scanned in `cache`, for the team's next
// connection) that the teammate `name` also has.
inline void shareProjects(tolvaran::fixtures::LocalTeamServer &server, const QString &teamId,
                          tolvaran::ProjectMetadataCache &cache, const QStringList &paths,
                          const QString &name)
{
    QHash<QString, tolvaran::LocalTeamProjectState> states;
    QList<tolvaran::SharedProjectState> theirs;
    QStringList wireIDs;
    for (const QString &path : paths) {
        tolvaran::LocalTeamProjectState state;
        state.shared.repositoryId = QStringLiteral("repository:") + path;
        state.shared.repositoryName = path.section(QLatin1Char('/'), -1);
        states.insert(path, state);
        tolvaran::SharedProjectState their = state.shared;
        their.repositoryId =
            tolvaran::TeamPresenceRules::wireRepositoryID(teamId, state.shared.repositoryId);
        theirs.append(their);
        wireIDs.append(their.repositoryId);
    }
    cache.setTeamStates(states);
    server.team(teamId).overlapOverride = wireIDs;
    injectTeammate(server, teamId, name.toLower() + QStringLiteral("-laptop"), name, theirs);
}

inline tolvaran::TeamCommitEvent teamCommit(const QString &id, const QString &memberName,
                                            const QString &repositoryName,
                                            const QString &subject, qint64 committedAt)
{
    tolvaran::TeamCommitEvent commit;
    commit.id = id;
    commit.deviceId = memberName.toLower() + QStringLiteral("-laptop");
    commit.memberName = memberName;
    commit.repositoryId = QStringLiteral("repository:") + repositoryName;
    commit.repositoryName = repositoryName;
    commit.headSha = QString(40, QLatin1Char('a'));
    commit.subject = subject;
    commit.committedAt = committedAt;
    commit.serverReceivedAt = committedAt;
    return commit;
}

// The local team server with one team ("Core", key alpha) and this computer's workspace.
class TeamScreensWorld : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        environment.set(tolvaran::teamServerURLVariable, server.baseUrl().toUtf8());
        teamId = server.createTeam(QStringLiteral("Core"), tolvaran::fixtures::teamKeys::alpha);
    }

    void TearDown() override
    {
        tolvaran::fixtures::processEventsFor(std::chrono::milliseconds(20));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString supportFolder() const { return home.filePath(QStringLiteral("support")); }

    // A listed team whose device is registered with the server as `role`, with a stored key
    // when `keepsKey`.
    FixedScreenTeam *registeredTeam(const QString &id, const QString &memberName,
                                    tolvaran::TeamInstallationRole role, bool keepsKey = true)
    {
        FixedScreenTeam *team = workspace.addListedTeam(id);
        tolvaran::TeamSettingsStore &settings = team->settings();
        settings.setMemberName(memberName);
        settings.setTeamName(QStringLiteral("Core"));
        settings.setEnabled(true);
        if (keepsKey)
            settings.save(tolvaran::fixtures::teamKeys::alpha);
        const QString credential =
            server.registerDevice(teamId, settings.deviceID(), memberName, role);
        settings.saveInstallation(teamId, credential, role);
        if (!keepsKey)
            settings.save();
        return team;
    }

    // Starts the team's connection and waits for the server's first snapshot.
    void connect(FixedScreenTeam &team)
    {
        team.service().reconfigure();
        ASSERT_TRUE(tolvaran::fixtures::waitUntil([&] {
            return team.service().connectionState().state
                       == tolvaran::TeamConnectionState::Case::connected
                   && team.service().securityStatus().has_value();
        }));
    }

    void teammate(const QString &deviceId, const QString &name,
                  const QList<tolvaran::SharedProjectState> &projects = {})
    {
        injectTeammate(server, teamId, deviceId, name, projects);
    }
    void shareProjects(const QStringList &paths)
    {
        ::shareProjects(server, teamId, cache, paths, QStringLiteral("Bo"));
    }
    void commits(int count, qint64 committedAt)
    {
        for (int index = 0; index < count; ++index) {
            server.injectCommit(teamId, teamCommit(QStringLiteral("commit-%1").arg(index),
                                                   QStringLiteral("Bo"), QStringLiteral("api"),
                                                   QStringLiteral("Commit %1").arg(index),
                                                   committedAt));
        }
    }

    // The owner of "Core", connected, with two teammates, a shared project and a commit, and
    // a second team, "Other", so that every tab and the team list have something to show.
    void fillEveryTab()
    {
        FixedScreenTeam *owner = registeredTeam(QStringLiteral("core"), QStringLiteral("Ada"),
                                                tolvaran::TeamInstallationRole::owner);
        server.registerDevice(teamId, QStringLiteral("device-bo"), QStringLiteral("Bo"),
                              tolvaran::TeamInstallationRole::member);
        shareProjects({home.filePath(QStringLiteral("code/api"))});
        commits(1, 1'700'000'000'000);
        connect(*owner);
        FixedScreenTeam *other = workspace.addListedTeam(QStringLiteral("other"));
        other->settings().setTeamName(QStringLiteral("Other"));
        workspace.selectManagementTeam(QStringLiteral("core"));
    }

    int requestsTo(const QByteArray &method, const QString &path) const
    {
        return server.requestCount(method, path);
    }

    tolvaran::fixtures::ScopedEnvironment environment;
    tolvaran::fixtures::LocalTeamServer server;
    tolvaran::fixtures::TemporaryHome home;
    tolvaran::fixtures::ManualTeamClock clock;
    tolvaran::KeyValueStore defaults{home.filePath(QStringLiteral("defaults.ini"))};
    tolvaran::ProjectMetadataCache cache{QString()};
    FakeScreenWorkspace workspace{defaults, supportFolder(), cache, clock};
    QString teamId;
};
