#pragma once

#include "data/git/LocalTeamProjectState.h"

#include <QHash>
#include <QString>

namespace tolvaran {

class KeyValueStore;

// What identifies the work a summary describes: the repository, branch and head, the
// uncommitted change, the latest request to Codex (hashed) and whether Codex is working.
// Counts and evidence are left out, so they alone never call for a new sentence.
QString workSummaryFingerprint(const LocalTeamProjectState &state);

// The sentences stored under `key` by fingerprint; empty when the value is missing or is not
// text by text throughout.
QHash<QString, QString> readWorkSummaries(const KeyValueStore &defaults, const QString &key);

// Stores `sentence` under `fingerprint`: the stored value (which other teams' services write
// too), overlaid with `known` and the new entry, is cut to `maximumEntries` (never dropping the
// new one) and written back. Returns what was written.
QHash<QString, QString> storeWorkSummary(KeyValueStore &defaults, const QString &key,
                                         const QHash<QString, QString> &known,
                                         const QString &fingerprint, const QString &sentence,
                                         qsizetype maximumEntries);

} // namespace tolvaran
