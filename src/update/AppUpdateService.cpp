#include "update/AppUpdateService.h"

#include "network/BoundedReply.h"
#include "platform/ServerAddress.h"
#include "update/AppUpdateError.h"
#include "update/AppUpdateInstaller.h"
#include "update/ApplicationFolder.h"
#include "update/PreparedAppUpdate.h"
#include "update/UpdateLeftovers.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

#include <openssl/crypto.h>

namespace tolvaran {

namespace {

inline const QString manifestPath = QStringLiteral("/v1/app/update");
inline const QString requestPathPrefix = QStringLiteral("/v1/app/");

struct InstallOutcome
{
    std::optional<PreparedAppUpdate> prepared;
    QString errorMessage;
};

} // namespace

AppUpdateService::AppUpdateService(AppUpdateEnvironment environment, QObject *parent)
    : QObject(parent)
    , m_environment(std::move(environment))
    , m_work(std::make_unique<WorkGroup>(this))
{
}

AppUpdateService::~AppUpdateService()
{
    m_work.reset();
}

void AppUpdateService::start()
{
    if (m_checkTimer)
        return;
    m_checkTimer = new QTimer(this);
    m_checkTimer->setInterval(checkInterval);
    connect(m_checkTimer, &QTimer::timeout, this, [this] { checkForUpdates(); });
    m_checkTimer->start();
    removeLeftovers();
    checkForUpdates();
}

void AppUpdateService::removeLeftovers()
{
    m_removingLeftovers = true;
    m_work->run<bool>(
        JobPriority::utility,
        [executable = m_environment.runningExecutable](const WorkContext &) {
            try {
                UpdateLeftovers::remove(ApplicationFolder::replaceableFolder(executable));
            } catch (const AppUpdateError &) {
                // A copy the program may not replace: no installation ever left anything.
            }
            return true;
        },
        [this](bool) { m_removingLeftovers = false; });
}

std::optional<QNetworkRequest> AppUpdateService::updateRequest(const QString &serverURL,
                                                               const QString &path,
                                                               const QString &version)
{
    QUrl url(serverURL, QUrl::StrictMode);
    if (checkServerAddress(url) != ServerAddressCheck::allowed)
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (!path.startsWith(requestPathPrefix))
        return std::nullopt;
    QString basePath = url.path();
    while (basePath.startsWith(QLatin1Char('/')))
        basePath.remove(0, 1);
    while (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);
    url.setScheme(scheme);
    url.setPath(basePath.isEmpty() ? path : QLatin1Char('/') + basePath + path);
    if (!url.isValid())
        return std::nullopt;
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "application/json");
    request.setRawHeader("X-Tolvaran-Version", version.toUtf8());
    request.setTransferTimeout(int(std::chrono::milliseconds(requestTimeout).count()));
    // A redirect is followed only on the same scheme, host and port: the request never reaches
    // another host, and an https one never goes on over plain http.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    BoundedReply::prepare(request);
    return request;
}

QNetworkAccessManager &AppUpdateService::network()
{
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    return *m_network;
}

void AppUpdateService::checkForUpdates(std::function<void()> completion)
{
    const auto finish = [this, completion](std::optional<AppUpdateManifest> manifest) {
        publishCheckResult(std::move(manifest));
        if (completion)
            completion();
    };
    if (m_isInstalling) {
        finish(std::nullopt);
        return;
    }
    const auto request =
        updateRequest(m_environment.serverURL, manifestPath, m_environment.currentVersion);
    if (!request) {
        finish(std::nullopt);
        return;
    }
    QNetworkReply *reply = network().get(*request);
    auto *bounded =
        new BoundedReply(reply, {maximumManifestBytes, m_environment.checkDeadline});
    connect(reply, &QNetworkReply::finished, this, [this, reply, bounded, finish] {
        reply->deleteLater();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        std::optional<AppUpdateManifest> newer;
        // Every failure (transport, status, size, time, decoding, validation) publishes no
        // release.
        if (status.isValid() && status.toInt() == 200
            && bounded->stop() == BoundedReply::Stop::none
            && reply->error() == QNetworkReply::NoError) {
            try {
                AppUpdateManifest manifest = AppUpdateManifest::decode(bounded->takeBody());
                validateManifest(manifest);
                if (isVersionNewer(manifest.version, m_environment.currentVersion))
                    newer = std::move(manifest);
            } catch (const AppUpdateError &) {
            }
        }
        finish(std::move(newer));
    });
}

void AppUpdateService::installAvailableUpdate(std::function<void()> completion)
{
    const auto done = [completion] {
        if (completion)
            completion();
    };
    if (!m_availableUpdate) {
        done();
        return;
    }
    const AppUpdateManifest manifest = *m_availableUpdate;
    const auto request = updateRequest(m_environment.serverURL, manifest.downloadPath,
                                       m_environment.currentVersion);
    // One installation at a time: a second would race the first for the same folders, as an
    // installation would race the removal of what an earlier one left.
    if (!request || m_isInstalling || m_removingLeftovers) {
        done();
        return;
    }
    setInstalling(true);
    setErrorMessage(std::nullopt);
    setInstallProgress({});

    const AppUpdateEnvironment environment = m_environment;
    m_work->run<InstallOutcome>(
        JobPriority::userInitiated,
        [request = *request, manifest, environment](const WorkContext &context) {
            InstallOutcome outcome;
            try {
                outcome.prepared =
                    AppUpdateInstaller::prepare(request, manifest, environment, context);
            } catch (const Error &error) {
                outcome.errorMessage = error.message();
            } catch (const std::exception &error) {
                outcome.errorMessage = QString::fromLocal8Bit(error.what());
            }
            // The pool's thread lives on after the job; OpenSSL's state for it (its error
            // queue) would otherwise stay until the thread ends.
            OPENSSL_thread_stop();
            return outcome;
        },
        [this, done](InstallOutcome outcome) {
            if (outcome.prepared) {
                try {
                    AppUpdateInstaller::launchHelper(*outcome.prepared, m_environment.processID,
                                                     m_environment.settleChecks);
                    if (m_environment.quitApplication)
                        m_environment.quitApplication();
                    done();
                    return;
                } catch (const Error &error) {
                    outcome.errorMessage = error.message();
                }
            }
            setInstalling(false);
            setErrorMessage(outcome.errorMessage);
            done();
        },
        [this](const WorkProgress &progress) {
            if (m_isInstalling)
                setInstallProgress(progress);
        });
}

void AppUpdateService::clearErrorMessage()
{
    setErrorMessage(std::nullopt);
}

void AppUpdateService::publishCheckResult(std::optional<AppUpdateManifest> manifest)
{
    if (manifest == m_availableUpdate)
        return;
    m_availableUpdate = std::move(manifest);
    Q_EMIT availableUpdateChanged();
}

void AppUpdateService::setInstalling(bool installing)
{
    if (installing == m_isInstalling)
        return;
    m_isInstalling = installing;
    Q_EMIT isInstallingChanged();
}

void AppUpdateService::setErrorMessage(std::optional<QString> message)
{
    if (message == m_errorMessage)
        return;
    m_errorMessage = std::move(message);
    Q_EMIT errorMessageChanged();
}

void AppUpdateService::setInstallProgress(const WorkProgress &progress)
{
    if (progress == m_installProgress)
        return;
    m_installProgress = progress;
    Q_EMIT installProgressChanged();
}

} // namespace tolvaran
