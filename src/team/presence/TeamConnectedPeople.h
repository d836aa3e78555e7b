#pragma once

#include "data/git/SharedProjectState.h"
#include "platform/Timestamp.h"
#include "team/wire/StoredDevicePresence.h"
#include "team/view/TeamConnectedPerson.h"
#include "team/presence/TeamOwnDevice.h"

#include <QHash>
#include <QList>

namespace tolvaran {

// The people list of the team screens: the user first (always present, seen `now`, counting
// the repositories of `localActivityByPath` that are dirty or processing), then one entry per
// person among the connected devices (a device that says it is not connected is left out),
// each ordered by name. A device of this installation under another name is marked as the
// user too.
QList<TeamConnectedPerson> teamConnectedPeople(
    const QList<StoredDevicePresence> &members, const TeamOwnDevice &self,
    const QHash<QString, SharedProjectState> &localActivityByPath, Timestamp now);

// Whether a new list is worth publishing: a change of a last-seen time alone is not.
bool teamConnectedPeopleDiffer(const QList<TeamConnectedPerson> &published,
                               const QList<TeamConnectedPerson> &computed);

} // namespace tolvaran
