#pragma once

#include "team_interface/TeamConnectionState.h"
#include "platform/Timestamp.h"
#include "team/view/TeamConnectedPerson.h"
#include "team/wire/TeamInstallation.h"
#include "team/wire/TeamSecurityStatus.h"

#include <QList>
#include <QString>

#include <optional>

namespace tolvaran {

// What the people and access screen derives from the service's values on every render.
// Installations and people are matched by their names trimmed and lower-cased.
namespace TeamAccessRules {

// The connected people without a registered installation of the same name, in their order.
QList<TeamConnectedPerson> unregisteredConnectedPeople(const QList<TeamConnectedPerson> &people,
                                                       const QList<TeamInstallation> &installs);
// The first connected person of the installation's member name.
std::optional<TeamConnectedPerson> matchingPerson(const TeamInstallation &installation,
                                                  const QList<TeamConnectedPerson> &people);
// This device's own entry is always among the people, so this device counts as online only
// while its own connection is up.
bool isOnline(const TeamInstallation &installation, const QList<TeamConnectedPerson> &people,
              const QString &deviceID, const TeamConnectionState &connectionState);
// Whether this device is offered the management menu for `installation`: never while the
// legacy key admits devices, never for the owner or this device itself, and only for owners
// and admins.
bool canManage(const TeamInstallation &installation, const TeamSecurityStatus &security,
               const QString &deviceID);

// "Owner", "Admin", "Member".
QString roleTitle(TeamInstallationRole role);
// "Available", or "<n> active".
QString activityText(const TeamConnectedPerson &person);
// "<Role> · Online|Last seen <when> · Version <v>|Version not reported".
QString installationDetail(const TeamInstallation &installation, bool online, Timestamp now);

} // namespace TeamAccessRules

} // namespace tolvaran
