#pragma once

#include "team/wire/TeamSnapshot.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Team wire records and messages for tests, the benchmark and the fuzz corpus. Everything is
// derived from the arguments, so equal arguments give equal bytes.
namespace tolvaran::fixtures::team {

// Repository `index` of a member, dirty with `changedFiles` files and with token usage.
SharedProjectState sampleProject(int member, int index, int changedFiles = 3);
StoredDevicePresence samplePresence(int member, int repositories);
// `members` presences of `repositories` repositories each, a team name, two commits (one
// without a branch), a security status and the overlap list.
TeamSnapshot sampleSnapshot(int members, int repositories);

// The smallest snapshot the server may send: type, protocol version, time, no members.
QByteArray minimalSnapshotJson(qint64 protocolVersion = 2);

// Hostile snapshots: `count` small valid members; `depth` nested arrays under an unknown key.
QByteArray snapshotWithMembers(qint64 count);
QByteArray snapshotNested(int depth);

struct NamedInput
{
    QString name;
    QByteArray bytes;
};

// Seeds for the snapshot decoder's fuzz target: valid snapshots of several shapes and near
// misses of each decoding rule (missing, null and mistyped members, unknown roles, numbers at
// and beyond 64 bits, escapes, malformed text).
QList<NamedInput> snapshotCorpus();

} // namespace tolvaran::fixtures::team
