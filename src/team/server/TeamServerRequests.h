#pragma once

#include <QList>
#include <QNetworkRequest>
#include <QPair>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

namespace tolvaran {

class TeamSettingsStore;

// How the team server's requests are built. Every request names the program's version, never
// follows a redirect (the next server would get the team's credentials), and has a time limit.

// How long a team request may go without any byte arriving before it is abandoned.
inline constexpr std::chrono::seconds teamRequestTimeout{60};
// How long a team request may take in all, from sending it to the last byte of its answer: a
// server that sends a byte now and then would otherwise hold it for ever.
inline constexpr std::chrono::seconds teamRequestDeadline{60};

// The time limits of the team's REST requests; tests give shorter ones.
struct TeamRequestLimits
{
    std::chrono::milliseconds transferTimeout = teamRequestTimeout;
    std::chrono::milliseconds deadline = teamRequestDeadline;
};

inline constexpr char teamVersionHeader[] = "X-Tolvaran-Version";

using TeamQueryItems = QList<QPair<QString, QString>>;

// The base of every team request, from teamServerAddress(): an http or https URL (the scheme
// in any letter case) with a host. Plain http is accepted only for 127.0.0.1 and localhost.
// Throws TeamServiceError: insecureServerURL for http elsewhere, invalidSettings otherwise.
QUrl teamServerBaseURL();

// A GET request authenticated by the shared team key ("Bearer <key>", the key as given).
// Throws TeamServiceError (invalidSettings) when the key has fewer than 32 characters, is
// blank or holds a line break or other control character, or as teamServerBaseURL() does.
QNetworkRequest teamRequest(const QString &path, const QString &key);

// A GET request authenticated by the profile's authorization value; `queryItems` only when
// not empty. Throws TeamServiceError: invalidSettings when the profile has no usable
// authorization value, or as teamServerBaseURL() does.
QNetworkRequest authenticatedTeamRequest(const TeamSettingsStore &settings, const QString &path,
                                         const TeamQueryItems &queryItems = {});

// The team socket's upgrade request ("wss" for an https base, "ws" for an http one), or
// nothing when the profile has no authorization value or the base address is refused (the
// reason is logged).
std::optional<QNetworkRequest> socketRequest(const TeamSettingsStore &settings);

// The path of an installation of the team: "/v1/team/installations/<device ID><suffix>", the
// device ID as one percent-encoded segment. Throws TeamServiceError (invalidDeviceID) for an
// ID that is empty, holds "/" or is "." or "..".
QString teamInstallationPath(const QString &deviceID, const QString &suffix = {});

} // namespace tolvaran
