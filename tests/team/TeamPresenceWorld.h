#pragma once

#include "data/git/ProjectMetadataCache.h"
#include "data/git/ProjectRepositoryStore.h"
#include "platform/storage/KeyValueStore.h"
#include "support/team/LocalTeamServer.h"
#include "support/team/ManualTeamClock.h"
#include "support/ScopedEnvironment.h"
#include "support/StandInPrograms.h"
#include "support/team/TeamTestKeys.h"
#include "support/TemporaryHome.h"
#include "support/WaitUntil.h"
#include "team/presence/TeamPresenceService.h"
#include "team/server/TeamServerAddress.h"
#include "team/server/TeamSettingsStore.h"
#include "team/presence/WorkSummaryGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

// A team on the local team server, this computer's profile of it and its presence service on
// a manual clock (jitter 1, so a back-off is exactly 2, 4, 8 ... seconds).
class TeamPresenceWorld : public ::testing::Test
{
protected:
    using Clock = tolvaran::fixtures::ManualTeamClock;
    using State = tolvaran::TeamConnectionState;

    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        environment.set(tolvaran::teamServerURLVariable, server.baseUrl().toUtf8());
        teamId = server.createTeam(QStringLiteral("Core"), tolvaran::fixtures::teamKeys::alpha);
        settings.setMemberName(QStringLiteral("Ada"));
        settings.setTeamName(QStringLiteral("Core"));
        settings.setEnabled(true);
        // A stand-in Codex tool first on PATH (one that fails until a test says otherwise),
        // so that no scan of a test ever starts the machine's own.
        ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("tmp"))));
        ASSERT_TRUE(QDir().mkpath(bin));
        writeCodexTool(QStringLiteral("exit 1\n"));
        environment.set("PATH", QFile::encodeName(bin) + ':' + qgetenv("PATH"));
        environment.set("HOME", QFile::encodeName(home.path()));
        environment.unset("NPM_CONFIG_PREFIX");
        environment.unset("npm_config_prefix");
        service = std::make_unique<tolvaran::TeamPresenceService>(settings, repositoryStore,
                                                                  cache, generator, clock,
                                                                  [] { return 1.0; });
    }

    void TearDown() override
    {
        service.reset();
        // Sockets the service let go are deleted later; a plain processEvents() never does.
        tolvaran::fixtures::processEventsFor(std::chrono::milliseconds(50));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Stores the shared key, as joining the team does; the service then registers.
    void joinWithKey(const QString &key = tolvaran::fixtures::teamKeys::alpha)
    {
        settings.save(key);
    }

    void registerDirectly()
    {
        const QString credential = server.registerDevice(
            teamId, settings.deviceID(), settings.memberName(),
            tolvaran::TeamInstallationRole::owner);
        settings.saveInstallation(teamId, credential, tolvaran::TeamInstallationRole::owner);
    }

    bool isConnected() const
    {
        return service->connectionState().state == State::Case::connected
               && service->isSocketReady();
    }

    bool hasFailed() const { return service->connectionState().state == State::Case::failed; }

    // Reconfigures and waits for the first state message of the new socket.
    void connect()
    {
        const qsizetype before = stateFrames().size();
        service->reconfigure();
        ASSERT_TRUE(tolvaran::fixtures::waitUntil(
            [&] { return isConnected() && stateFrames().size() > before; }));
    }

    static QJsonObject json(const QByteArray &bytes)
    {
        return QJsonDocument::fromJson(bytes).object();
    }

    QList<QByteArray> clientFrames(const QString &type) const
    {
        QList<QByteArray> frames;
        for (const auto &frame : server.framesFromClients()) {
            if (json(frame.text).value(QLatin1String("type")).toString() == type)
                frames.append(frame.text);
        }
        return frames;
    }
    QList<QByteArray> stateFrames() const { return clientFrames(QStringLiteral("state.update")); }

    // Lets the socket traffic settle, for checks that nothing more is sent or changes: each
    // open socket of the service pings the server twice. The first pong comes once the
    // service has read all the server sent before; the second once the server has read all
    // the service sent in answer, the work that answer queued included. The service's own
    // pings are answered before these, and their pongs are told apart by their payload.
    void settle()
    {
        using namespace tolvaran::fixtures;
        runQueuedWork();
        // Sockets the service lets go are deleted while the event loop runs.
        QList<QPointer<QWebSocket>> sockets;
        for (QWebSocket *socket : service->findChildren<QWebSocket *>())
            sockets.append(socket);
        const auto connected = [](const QPointer<QWebSocket> &socket) {
            return socket && socket->state() == QAbstractSocket::ConnectedState;
        };
        const auto opening = [&](const QPointer<QWebSocket> &socket) {
            return socket && !connected(socket)
                   && socket->state() != QAbstractSocket::UnconnectedState;
        };
        waitUntil([&] { return std::none_of(sockets.begin(), sockets.end(), opening); });
        for (const QPointer<QWebSocket> &socket : sockets) {
            for (int round = 0; round < 2 && connected(socket); ++round) {
                static const QByteArray payload = QByteArrayLiteral("settle");
                bool answered = false;
                QObject receiver;
                QObject::connect(socket, &QWebSocket::pong, &receiver,
                                 [&answered](quint64, const QByteArray &answer) {
                                     answered = answered || answer == payload;
                                 });
                socket->ping(payload);
                waitUntil([&] { return answered || !connected(socket); });
                runQueuedWork();
            }
        }
    }

    // Moves the clock in small steps, letting the socket and the REST calls run after each.
    void advance(std::chrono::milliseconds total,
                 std::chrono::milliseconds step = std::chrono::milliseconds(100))
    {
        for (std::chrono::milliseconds passed{0}; passed < total; passed += step) {
            clock.advance(step);
            tolvaran::fixtures::processEventsFor(std::chrono::milliseconds(5));
        }
    }

    int requestsTo(const QByteArray &method, const QString &path) const
    {
        return server.requestCount(method, path);
    }

    static tolvaran::SharedProjectState project(const QString &repositoryId,
                                                const QString &name)
    {
        tolvaran::SharedProjectState state;
        state.repositoryId = repositoryId;
        state.repositoryName = name;
        state.branch = QStringLiteral("main");
        state.isDirty = true;
        state.modifiedCount = 1;
        state.changedFiles = {QStringLiteral("src/main.cpp")};
        return state;
    }

    tolvaran::fixtures::ScopedEnvironment environment;
    tolvaran::fixtures::LocalTeamServer server;
    tolvaran::fixtures::TemporaryHome home;
    const QString bin = home.filePath(QStringLiteral("bin"));
    tolvaran::KeyValueStore defaults{home.filePath(QStringLiteral("defaults.ini"))};
    QString teamId;
    // Replaces the stand-in Codex tool with a shell script running `body`.
    void writeCodexTool(const QString &body)
    {
        tolvaran::fixtures::writeScript(bin, QStringLiteral("codex"), body);
    }

    // Stores one scanned project in the metadata cache, as a scan does; the service takes it
    // up at its next reconfiguration.
    void storeScannedProject(const QString &path, const tolvaran::SharedProjectState &shared)
    {
        tolvaran::LocalTeamProjectState state;
        state.shared = shared;
        cache.setTeamStates({{path, state}});
    }

    tolvaran::TeamSettingsStore settings{defaults, QStringLiteral("mine"), false,
                                         home.filePath(QStringLiteral("support"))};
    tolvaran::ProjectMetadataCache cache{QString()};
    tolvaran::ProjectRepositoryStore repositoryStore;
    tolvaran::WorkSummaryGenerator generator{home.filePath(QStringLiteral("tmp"))};
    Clock clock;
    std::unique_ptr<tolvaran::TeamPresenceService> service;
};
