#pragma once

#include "support/network/LocalHttpServer.h"
#include "support/update/ReleaseSigningKey.h"
#include "support/TemporaryHome.h"
#include "update/AppUpdateEnvironment.h"
#include "update/AppUpdateManifest.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

namespace tolvaran::fixtures {

// The updater's world: a local update server, a maker's key made for the test, and a fake
// installed copy of version 26.8.70 at apps/Tolvaran whose program, like every copy this
// world makes, writes its version to started.log when it starts and then runs a few seconds.
class UpdateWorld final
{
public:
    static inline const QString runningVersion = QStringLiteral("26.8.70");
    static inline const QString newVersion = QStringLiteral("26.9.1");

    UpdateWorld();
    ~UpdateWorld();

    TemporaryHome home;
    LocalHttpServer server;
    ReleaseSigningKey key;
    int quitCalls = 0;

    QString appsFolder() const { return home.filePath("apps"); }
    QString runningFolder() const { return home.filePath("apps/Tolvaran"); }
    QString temporaryFolder() const { return home.filePath("tmp"); }
    QString startedLog() const { return home.filePath("started.log"); }

    // The environment of a program running from `executable` (the fake copy by default) that
    // waits for the process standIn() runs.
    AppUpdateEnvironment environment(const QString &executable = {});

    // A program body that logs `version` as started, then runs for a few seconds.
    QString startingProgram(const QString &version) const;
    // The lines that make a stand-in program act as the real one when the installer script
    // asks it to exchange or replace folders (they run the real program's helper modes),
    // after `delay`. Every copy this world makes begins with them.
    static QString folderExchangeDelegation(std::chrono::milliseconds delay = {});
    // The line that makes a stand-in program refuse the exchange, as on a file system
    // without it, before those lines.
    static QString folderExchangeRefusal();
    // Makes the running copy's program refuse that exchange.
    void refuseFolderExchange();

    // An application folder of `version` at `parent`/Tolvaran, signed with `signer` (the
    // world's key when null); `edit` may change it before it is signed.
    void writeRelease(const QString &parent, const QString &version,
                      const QString &programBody = {},
                      const std::function<void(const QString &folder)> &edit = {},
                      const ReleaseSigningKey *signer = nullptr);
    // The archive of such a release, made in a folder of its own.
    QByteArray releaseArchive(const QString &version, const QString &programBody = {},
                              const std::function<void(const QString &folder)> &edit = {},
                              const ReleaseSigningKey *signer = nullptr);

    // What the running copy is, to check it is untouched: its canonical listing.
    QByteArray runningListing() const;
    // Entries of apps/ and tmp/.
    QStringList appsEntries() const;
    QStringList temporaryEntries() const;
    QStringList startedVersions() const;

    // The process the installer script waits for; ending it lets the script go on.
    qint64 standInProcessID() const { return m_standIn->processId(); }
    void endStandIn();

private:
    std::unique_ptr<QProcess> m_standIn;
    int m_releaseCount = 0;
};

} // namespace tolvaran::fixtures
