#pragma once

#include "platform/storage/KeyValueStore.h"
#include "support/team/LocalTeamServer.h"
#include "support/LogRecorder.h"
#include "support/ScopedEnvironment.h"
#include "support/team/TeamTestKeys.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "team/server/TeamServerAddress.h"
#include "team/server/TeamServerClient.h"
#include "team/server/TeamSettingsStore.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// A team on the local team server and this computer's profiles of it: `settings` (with
// `client`) and, where a test wants a second computer, more profiles made by `profile`.
class TeamServerClientWorld : public ::testing::Test
{
protected:
    using Done = tolvaran::TeamServerClient::Done;

    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        environment.set(tolvaran::teamServerURLVariable, server.baseUrl().toUtf8());
        teamId = server.createTeam(QStringLiteral("Core"), tolvaran::fixtures::teamKeys::alpha);
    }

    std::unique_ptr<tolvaran::TeamSettingsStore> profile(const QString &id)
    {
        return std::make_unique<tolvaran::TeamSettingsStore>(
            defaults, id, false, home.filePath(QStringLiteral("support")));
    }

    // Registers `store` with the team as `role` directly on the server, and stores the
    // identity as a registration would.
    void registerAs(tolvaran::TeamSettingsStore &store, tolvaran::TeamInstallationRole role)
    {
        const QString credential =
            server.registerDevice(teamId, store.deviceID(), store.memberName(), role);
        store.saveInstallation(teamId, credential, role);
    }

    // Starts a call with a completion and runs the event loop until it has run. A failure's
    // sentence goes to the log recorder, so the check for secrets in log lines covers it.
    template <typename Value>
    tolvaran::TeamCallResult<Value>
    awaitCall(const std::function<tolvaran::TeamCallHandle(
                  std::function<void(tolvaran::TeamCallResult<Value>)>)> &start)
    {
        std::optional<tolvaran::TeamCallResult<Value>> result;
        start([&result](tolvaran::TeamCallResult<Value> outcome) { result = std::move(outcome); });
        EXPECT_TRUE(tolvaran::fixtures::waitUntil([&] { return result.has_value(); }));
        if (!result)
            return tolvaran::TeamCallError(tolvaran::TeamTransportError(
                tolvaran::TeamTransportError::Kind::failed));
        if (!*result)
            tolvaran::fixtures::LogRecorder::record(QStringLiteral("call failed: ")
                                                    + result->error().message());
        return std::move(*result);
    }

    tolvaran::TeamCallCompletion
    awaitDone(const std::function<tolvaran::TeamCallHandle(Done)> &start)
    {
        return awaitCall<std::monostate>(start);
    }

    int requestsTo(const QByteArray &method, const QString &path) const
    {
        return server.requestCount(method, path);
    }

    tolvaran::fixtures::ScopedEnvironment environment;
    tolvaran::fixtures::LocalTeamServer server;
    tolvaran::fixtures::TemporaryHome home;
    tolvaran::KeyValueStore defaults{home.filePath(QStringLiteral("defaults.ini"))};
    QString teamId;
    tolvaran::TeamSettingsStore settings{defaults, QStringLiteral("mine"), false,
                                         home.filePath(QStringLiteral("support"))};
    tolvaran::TeamServerClient client{settings};
};
