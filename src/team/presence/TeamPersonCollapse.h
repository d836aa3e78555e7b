#pragma once

#include "team/view/TeamProjectPeer.h"
#include "team/view/TeamProjectUsageMember.h"

#include <QList>

namespace tolvaran {

// One peer per person (member name lower-cased, not trimmed), so a teammate with two machines
// is listed once: the device with the higher level wins, then a connected one, then a strictly
// later update, else the one met first. The entry keeps the first name met, the union of both
// overlap lists and the higher level. Sorted by name (localized, case-insensitive, stable).
QList<TeamProjectPeer> collapsePeersByPerson(const QList<TeamProjectPeer> &peers);

// One usage member per person: the device with the strictly later update, else the first.
// Two devices' usage is not added up. Sorted as the peers.
QList<TeamProjectUsageMember> collapseUsageByPerson(const QList<TeamProjectUsageMember> &members);

} // namespace tolvaran
