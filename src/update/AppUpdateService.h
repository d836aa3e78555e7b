#pragma once

#include "work/WorkGroup.h"
#include "work/WorkProgress.h"
#include "update/AppUpdateEnvironment.h"
#include "update/AppUpdateManifest.h"

#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QTimer;

namespace tolvaran {

// Keeps the program up to date: asks the update server for a release at start() and every
// checkInterval, publishes a newer one in availableUpdate(), and on request installs it
// (AppUpdateInstaller: download, verification, staging, the installer script) and quits.
//
// A final QObject on the GUI thread. Each published value has its own change signal, emitted
// after the value is stored and only when it changed. Checks never report failures: a failed
// check clears availableUpdate(). An installation reports its failure in errorMessage(),
// which stays until the window has shown it and calls clearErrorMessage().
//
// The constructor touches no network and starts nothing. Destroying the service stops an
// installation in progress (its work folder and staged copy are removed).
class AppUpdateService final : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::minutes checkInterval{30};
    // How long a request may go without a byte arriving.
    static constexpr std::chrono::seconds requestTimeout{120};
    // A manifest is a few hundred bytes; an answer far larger is not one and is cut off as it
    // arrives.
    static constexpr qint64 maximumManifestBytes = 64 * 1024;

    explicit AppUpdateService(AppUpdateEnvironment environment = AppUpdateEnvironment::system(),
                              QObject *parent = nullptr);
    ~AppUpdateService() override;

    // Checks at once and then every checkInterval, and removes what an installation cut short
    // left beside the running copy (UpdateLeftovers). Later calls do nothing.
    void start();
    bool hasStarted() const { return m_checkTimer != nullptr; }

    // One check; `completion` runs on this thread once its result is published. While an
    // installation runs, a check clears availableUpdate() and asks the server nothing.
    void checkForUpdates(std::function<void()> completion = {});

    // Installs availableUpdate() as it is now; nothing happens without one, while an
    // installation runs already, or while start() removes what an earlier one left. On success the installer script is started and the
    // application asked to quit (isInstalling() stays true); on failure isInstalling() goes
    // back to false and errorMessage() says why. `completion` runs when it has ended either way.
    void installAvailableUpdate(std::function<void()> completion = {});

    const std::optional<AppUpdateManifest> &availableUpdate() const { return m_availableUpdate; }
    bool isInstalling() const { return m_isInstalling; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    // The installation's progress: downloading (determinate), then verifying and preparing.
    const WorkProgress &installProgress() const { return m_installProgress; }

    // The window has shown the message.
    void clearErrorMessage();

    // A GET request for `path` on the update server at `serverURL`, carrying `version`; none
    // when the address is not one the program may ask (checkServerAddress: https, or plain
    // http to this computer only) or `path` does not begin with "/v1/app/". A path of the
    // address comes before `path`. A redirect is followed only on the same scheme, host and
    // port.
    static std::optional<QNetworkRequest> updateRequest(const QString &serverURL,
                                                        const QString &path,
                                                        const QString &version);

Q_SIGNALS:
    void availableUpdateChanged();
    void isInstallingChanged();
    void errorMessageChanged();
    void installProgressChanged();

private:
    void removeLeftovers();
    void publishCheckResult(std::optional<AppUpdateManifest> manifest);
    void setInstalling(bool installing);
    void setErrorMessage(std::optional<QString> message);
    void setInstallProgress(const WorkProgress &progress);
    QNetworkAccessManager &network();

    AppUpdateEnvironment m_environment;
    std::optional<AppUpdateManifest> m_availableUpdate;
    bool m_isInstalling = false;
    bool m_removingLeftovers = false;
    std::optional<QString> m_errorMessage;
    WorkProgress m_installProgress;
    QTimer *m_checkTimer = nullptr;
    QNetworkAccessManager *m_network = nullptr;
    // Last: destroyed first, so no installation delivers to a half-destroyed service.
    std::unique_ptr<WorkGroup> m_work;
};

} // namespace tolvaran
