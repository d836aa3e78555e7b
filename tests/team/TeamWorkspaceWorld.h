#pragma once

#include "data/git/ProjectMetadataCache.h"
#include "platform/storage/KeyValueStore.h"
#include "support/team/LocalTeamServer.h"
#include "support/team/ManualTeamClock.h"
#include "support/ScopedEnvironment.h"
#include "support/team/TeamTestKeys.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "support/team/WatchedSecrets.h"
#include "team/presence/TeamPresenceService.h"
#include "team/server/TeamServerAddress.h"
#include "team/server/TeamSettingsStore.h"
#include "team/TeamWorkspace.h"
#include "team/TeamWorkspaceStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <memory>

// The user defaults and program folder an earlier run left, a local team server the teams'
// services may reach, and the workspace opened over them (on a manual clock).
class TeamWorkspaceWorld : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        environment.set(tolvaran::teamServerURLVariable, server.baseUrl().toUtf8());
        tolvaran::fixtures::watchSecret(tolvaran::fixtures::teamKeys::alpha);
        tolvaran::fixtures::watchSecret(tolvaran::fixtures::teamKeys::beta);
    }

    void TearDown() override
    {
        workspace.reset();
        tolvaran::fixtures::processEventsFor(std::chrono::milliseconds(50));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    tolvaran::TeamWorkspaceStore &open()
    {
        workspace = std::make_unique<tolvaran::TeamWorkspaceStore>(defaults, cache, support(),
                                                                   clock);
        return *workspace;
    }

    QString support() const { return home.filePath(QStringLiteral("support")); }
    QString profileFolder(const QString &id) const
    {
        return support() + QStringLiteral("/teams/") + id;
    }

    static QString newProfileID()
    {
        return QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    }

    // A profile as an earlier run stored it: switched on or off, with or without the shared
    // key and a registration on the local server (to a new team named `teamName`, whose id
    // it returns).
    struct Stored
    {
        bool enabled = false;
        bool key = false;
        bool registration = false;
    };
    QString storeProfile(const QString &id, Stored stored, const QString &teamName = {})
    {
        QString teamId;
        using tolvaran::TeamSettingsStore;
        const bool legacy = id == TeamSettingsStore::legacyProfileID;
        TeamSettingsStore settings(defaults, id, legacy, support());
        if (!teamName.isEmpty()) {
            settings.setTeamName(teamName);
            settings.save();
        }
        if (stored.key)
            settings.writeKey(tolvaran::fixtures::teamKeys::alpha);
        if (stored.registration) {
            teamId = server.createTeam(teamName.isEmpty() ? QStringLiteral("Core") : teamName);
            const QString credential =
                server.registerDevice(teamId, settings.deviceID(), QStringLiteral("Ada"),
                                      tolvaran::TeamInstallationRole::owner);
            settings.saveInstallation(teamId, credential, tolvaran::TeamInstallationRole::owner);
        }
        defaults.setValue(settings.keyPrefix() + QStringLiteral(".enabled"), stored.enabled);
        return teamId;
    }

    void storeProfileList(const QStringList &ids)
    {
        defaults.setValue(tolvaran::TeamWorkspaceStore::profileIDsKey, ids);
    }
    QStringList storedProfileList() const
    {
        return defaults.stringList(tolvaran::TeamWorkspaceStore::profileIDsKey);
    }
    QString storedSelection() const
    {
        return defaults.string(tolvaran::TeamWorkspaceStore::selectedManagementTeamIDKey);
    }
    bool hasStoredKeys(const QString &id) const
    {
        return defaults.contains(QStringLiteral("teams.") + id + QStringLiteral(".deviceID"));
    }

    QStringList listedIDs() const
    {
        QStringList ids;
        for (const auto &team : workspace->teams())
            ids.append(team->id());
        return ids;
    }

    tolvaran::fixtures::ScopedEnvironment environment;
    tolvaran::fixtures::LocalTeamServer server;
    tolvaran::fixtures::TemporaryHome home;
    tolvaran::KeyValueStore defaults{home.filePath(QStringLiteral("defaults.ini"))};
    tolvaran::ProjectMetadataCache cache{QString()};
    tolvaran::fixtures::ManualTeamClock clock;
    std::unique_ptr<tolvaran::TeamWorkspaceStore> workspace;
};
