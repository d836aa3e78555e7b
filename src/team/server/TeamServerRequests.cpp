#include "team/server/TeamServerRequests.h"

#include "platform/AppBrand.h"
#include "platform/Graphemes.h"
#include "team/TeamLogging.h"
#include "team/server/TeamServerAddress.h"
#include "team/server/TeamServiceError.h"
#include "team/server/TeamSettingsStore.h"

#include <QUrlQuery>

namespace tolvaran {

namespace {

constexpr qsizetype minimumRequestKeyLength = 32; // characters
const QString socketPath = QStringLiteral("/v1/team/socket");
const QString socketProtocolVersion = QStringLiteral("2");

// A header value with a line break would end the header and start another of the sender's
// choosing; no key, credential or identifier of ours holds one.
bool isSafeHeaderValue(const QString &value)
{
    return std::none_of(value.cbegin(), value.cend(), [](QChar c) {
        return c.unicode() < 0x20 || c.unicode() == 0x7f;
    });
}

QUrl withPath(QUrl url, const QString &path)
{
    // Paths arrive percent-encoded (an installation's device ID is one encoded segment).
    url.setPath(path, QUrl::TolerantMode);
    return url;
}

QNetworkRequest makeRequest(const QUrl &url, const QString &authorization, bool acceptsJson)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(int(std::chrono::milliseconds(teamRequestTimeout).count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("Authorization", authorization.toUtf8());
    if (acceptsJson)
        request.setRawHeader("Accept", "application/json");
    request.setRawHeader(teamVersionHeader, AppBrand::version().toUtf8());
    return request;
}

QString checkedAuthorization(const TeamSettingsStore &settings)
{
    const auto authorization = settings.authorizationHeader();
    if (!authorization || !isSafeHeaderValue(*authorization))
        throw TeamServiceError(TeamServiceError::Kind::invalidSettings);
    return *authorization;
}

} // namespace

QUrl teamServerBaseURL()
{
    QUrl url(teamServerAddress().trimmed(), QUrl::StrictMode);
    switch (checkServerAddress(url)) {
    case ServerAddressCheck::allowed:
        break;
    case ServerAddressCheck::insecure:
        throw TeamServiceError(TeamServiceError::Kind::insecureServerURL);
    case ServerAddressCheck::invalid:
        throw TeamServiceError(TeamServiceError::Kind::invalidSettings);
    }
    url.setScheme(url.scheme().toLower());
    return url;
}

QNetworkRequest teamRequest(const QString &path, const QString &key)
{
    if (graphemeCount(key) < minimumRequestKeyLength || key.trimmed().isEmpty()
        || !isSafeHeaderValue(key)) {
        throw TeamServiceError(TeamServiceError::Kind::invalidSettings);
    }
    const QUrl url = withPath(teamServerBaseURL(), path);
    if (!url.isValid())
        throw TeamServiceError(TeamServiceError::Kind::invalidSettings);
    return makeRequest(url, QStringLiteral("Bearer ") + key, true);
}

QNetworkRequest authenticatedTeamRequest(const TeamSettingsStore &settings, const QString &path,
                                         const TeamQueryItems &queryItems)
{
    const QString authorization = checkedAuthorization(settings);
    QUrl url = withPath(teamServerBaseURL(), path);
    if (!queryItems.isEmpty()) {
        QUrlQuery query;
        query.setQueryItems(queryItems);
        url.setQuery(query);
    }
    if (!url.isValid())
        throw TeamServiceError(TeamServiceError::Kind::invalidSettings);
    return makeRequest(url, authorization, true);
}

std::optional<QNetworkRequest> socketRequest(const TeamSettingsStore &settings)
{
    try {
        const QString authorization = checkedAuthorization(settings);
        QUrl url = withPath(teamServerBaseURL(), socketPath);
        url.setScheme(url.scheme() == QLatin1String("https") ? QStringLiteral("wss")
                                                             : QStringLiteral("ws"));
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("protocolVersion"), socketProtocolVersion);
        url.setQuery(query);
        if (!url.isValid())
            return std::nullopt;
        return makeRequest(url, authorization, false);
    } catch (const TeamServiceError &error) {
        qCWarning(lcTeam, "Team socket request refused: %s", qUtf8Printable(error.message()));
        return std::nullopt;
    }
}

QString teamInstallationPath(const QString &deviceID, const QString &suffix)
{
    if (deviceID.isEmpty() || deviceID.contains(QLatin1Char('/'))
        || deviceID == QLatin1String(".") || deviceID == QLatin1String("..")) {
        throw TeamServiceError(TeamServiceError::Kind::invalidDeviceID);
    }
    return QStringLiteral("/v1/team/installations/")
           + QString::fromLatin1(QUrl::toPercentEncoding(deviceID)) + suffix;
}

} // namespace tolvaran
