#include "team_screens/TeamAccessRules.h"

#include "platform/RelativeDateFormatter.h"
#include "team/presence/TeamOwnDevice.h"

#include <QSet>

namespace tolvaran::TeamAccessRules {

QList<TeamConnectedPerson> unregisteredConnectedPeople(const QList<TeamConnectedPerson> &people,
                                                       const QList<TeamInstallation> &installs)
{
    QSet<QString> registered;
    for (const TeamInstallation &installation : installs)
        registered.insert(teamTrimmedNameKey(installation.memberName));
    QList<TeamConnectedPerson> unregistered;
    for (const TeamConnectedPerson &person : people) {
        if (!registered.contains(teamTrimmedNameKey(person.name)))
            unregistered.append(person);
    }
    return unregistered;
}

std::optional<TeamConnectedPerson> matchingPerson(const TeamInstallation &installation,
                                                  const QList<TeamConnectedPerson> &people)
{
    const QString key = teamTrimmedNameKey(installation.memberName);
    for (const TeamConnectedPerson &person : people) {
        if (teamTrimmedNameKey(person.name) == key)
            return person;
    }
    return std::nullopt;
}

bool isOnline(const TeamInstallation &installation, const QList<TeamConnectedPerson> &people,
              const QString &deviceID, const TeamConnectionState &connectionState)
{
    if (!matchingPerson(installation, people))
        return false;
    return installation.deviceId != deviceID
           || connectionState.state == TeamConnectionState::Case::connected;
}

bool canManage(const TeamInstallation &installation, const TeamSecurityStatus &security,
               const QString &deviceID)
{
    if (security.legacyKeyEnabled || installation.role == TeamInstallationRole::owner
        || installation.deviceId == deviceID)
        return false;
    return security.currentDeviceRole == TeamInstallationRole::owner
           || security.currentDeviceRole == TeamInstallationRole::admin;
}

QString roleTitle(TeamInstallationRole role)
{
    QString title = rawValue(role);
    if (!title.isEmpty())
        title[0] = title[0].toUpper();
    return title;
}

QString activityText(const TeamConnectedPerson &person)
{
    if (person.activeProjectCount == 0)
        return QStringLiteral("Available");
    return QString::number(person.activeProjectCount) + QStringLiteral(" active");
}

QString installationDetail(const TeamInstallation &installation, bool online, Timestamp now)
{
    const QString presence =
        online ? QStringLiteral("Online")
               : QStringLiteral("Last seen ")
                     + relativeDateText(Timestamp::fromMilliseconds(installation.lastSeenAt), now);
    const QString version = installation.appVersion
                                ? QStringLiteral("Version ") + *installation.appVersion
                                : QStringLiteral("Version not reported");
    const QString separator = QStringLiteral(" \u00B7 ");
    return roleTitle(installation.role) + separator + presence + separator + version;
}

} // namespace tolvaran::TeamAccessRules
