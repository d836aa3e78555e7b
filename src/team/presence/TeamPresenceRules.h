#pragma once

#include "data/git/SharedProjectState.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tolvaran {

struct LocalTeamProjectState;
struct TokenUsageSnapshot;

// The small rules a team's presence messages and its reading of snapshots share: how a
// repository is named on the wire, what usage a project carries, and the order of projects.
namespace TeamPresenceRules {

// Each byte as two lower-case hexadecimal digits, no separator (64 characters for a SHA-256
// digest or an HMAC-SHA256 code).
QString hexadecimal(QByteArrayView bytes);

// Whether teammates see the project as being worked on: uncommitted changes, or Codex at work
// in it.
bool isActive(const SharedProjectState &state);

// The repository's name on the team's wire: HMAC-SHA256 of `repositoryId` keyed with the
// team ID (both UTF-8), in hexadecimal, so one repository has another name in every team and
// the server never learns the plain identity. Without a team ID (not registered yet) the
// identity itself. Whether the plain or the wire name is sent is the caller's choice.
QString wireRepositoryID(const std::optional<QString> &teamID, const QString &repositoryId);

// The wire names of every state's repository, in the map's iteration order (duplicates kept).
QStringList wireRepositoryIDs(const std::optional<QString> &teamID,
                              const QHash<QString, SharedProjectState> &statesByPath);

// The usage a project publishes: none without a report, or when its report has no lifetime
// and no weekly-window tokens. A share or a value that is not a finite number (a corrupt
// allowance reading) is sent as 0, or left out for the plan value: JSON cannot carry it, and
// one odd figure must not keep the whole state from being sent.
std::optional<TeamProjectUsagePayload> teamUsage(const TokenUsageSnapshot &snapshot,
                                                 const QString &path);

// `state` with its usage replaced by teamUsage() of `path` (absent when that gives none).
SharedProjectState withUsage(SharedProjectState state, const TokenUsageSnapshot &snapshot,
                             const QString &path);

// The repository inventory: the placeholders, each replaced or joined by the scanned state of
// its path.
QHash<QString, SharedProjectState>
repositoryInventory(const QHash<QString, SharedProjectState> &placeholders,
                    const QHash<QString, LocalTeamProjectState> &scannedStates);

// Plain text order: by Unicode scalar values of the canonically composed forms, case first
// by code (so "Alpha" before "alpha"), never by locale. Negative, zero or positive.
int comparePlainText(const QString &a, const QString &b);

// Sorts the projects of a presence message by repository name (stable: equal names keep the
// order they came in).
void sortForPresence(QList<SharedProjectState> &projects);

} // namespace TeamPresenceRules
} // namespace tolvaran
