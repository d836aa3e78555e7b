#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>

namespace tolvaran {

// Everything the updater takes from the world it runs in. The program uses system(); tests
// give their own: a local server, a fake running copy in a temporary folder, a key pair made
// for the test, a quit that only records.
struct AppUpdateEnvironment
{
    // How long the installer script watches a relaunched copy before it counts as started,
    // in checks 0.2 s apart.
    static constexpr int defaultSettleChecks = 25;
    // How long a check may take in all, answer included.
    static constexpr std::chrono::seconds defaultCheckDeadline{120};
    // How long a download may take in all beyond the time its announced size takes at the
    // slowest rate allowed (releaseDownloadDeadline).
    static constexpr std::chrono::seconds defaultDownloadDeadline{120};

    QString serverURL;          // the update server's base address
    QString currentVersion;     // the running version
    // The running program's file. The program's own is the system's link to it, read when an
    // installation begins: the copy the installer script starts runs from the staged folder
    // until that folder takes the install path.
    QString runningExecutable;
    QByteArray releaseSigningKey; // Ed25519 public key, 32 bytes
    QString temporaryDirectory; // where installations make their work folders
    qint64 processID = 0;       // the process the installer script waits for
    int settleChecks = defaultSettleChecks;
    std::chrono::milliseconds checkDeadline = defaultCheckDeadline;
    std::chrono::milliseconds downloadDeadline = defaultDownloadDeadline;
    std::function<void()> quitApplication;

    // The running program: serverAddress(), AppBrand's version and key, the link to the
    // program's file (/proc/self/exe) and its process, the system's temporary folder, and
    // QCoreApplication::quit().
    static AppUpdateEnvironment system();
};

} // namespace tolvaran
