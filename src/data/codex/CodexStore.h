#pragma once

#include "data/codex/CodexActivityStore.h"
#include "data/codex/CodexProjectRecords.h"
#include "data/codex/CodexSessionIndexStore.h"
#include "data/codex/CodexStoreError.h"
#include "data/codex/CodexThread.h"
#include "data/codex/ThreadTextReuse.h"

#include <QList>
#include <QString>

#include <mutex>

namespace tolvaran {

// Reads Codex's thread database ("state_5.sqlite" in Codex's folder) into CodexThreads,
// joining in each chat's name from the session index and its latest request from its
// rollout file. It never changes Codex's data and never checkpoints Codex's write-ahead log
// or removes its side files. Codex's table gains columns from version to version, so the store
// asks SQLite which columns exist and reads a constant in place of each one that is missing.
//
// Synchronous: callers run it on background jobs. Each load opens and closes its own
// connection; the two readers it owns guard their caches themselves.
class CodexStore final
{
public:
    static constexpr int busyTimeoutMilliseconds = 2000;

    // Touches no file. `liveness` lets the activity reader tell dead turns from live ones
    // (CodexTurnLiveness::forCodexHome() of the database's folder); by default the rollout
    // files alone decide.
    CodexStore(QString databasePath, const QString &sessionIndexPath,
               CodexTurnLiveness liveness = {});
    CodexStore(const CodexStore &) = delete;
    CodexStore &operator=(const CodexStore &) = delete;

    const QString &databasePath() const { return m_databasePath; }
    // The rollout-file reader, owned for the store's lifetime; the coordinator asks it for
    // processing state and latest requests.
    CodexActivityStore &activityStore() const { return m_activityStore; }
    CodexSessionIndexStore &sessionIndexStore() const { return m_sessionIndexStore; }

    // The threads, newest first; archived ones only with `includeArchived`. The first form
    // reads without writing any file at all; `allowsSidecarWrites` opens the database
    // read-write (with SQLite's query-only switch on) so that SQLite may create or update
    // the write-ahead log's side files. Throws CodexStoreError; a read that stops before the
    // last row (busy, I/O error, corruption) fails rather than returning the rows so far.
    QList<CodexThread> loadThreads(bool includeArchived, bool allowsSidecarWrites) const;

    // What callers use: a read-only load and, when that fails for any reason, one more with
    // side-file writes allowed, whose error is the one reported if it fails too.
    QList<CodexThread> loadThreads(bool includeArchived) const;

    // Codex's own project names and folders, from the "projects" and "project_roots" tables;
    // empty records for an older database without them (or without their columns). Opens
    // the database as loadThreads() does, with the same retry; throws CodexStoreError.
    CodexProjectRecords loadProjectRecords(bool allowsSidecarWrites) const;
    CodexProjectRecords loadProjectRecords() const;

private:
    Internal::ThreadTextReuse::Read lastRead() const;

    const QString m_databasePath;
    mutable CodexActivityStore m_activityStore;
    mutable CodexSessionIndexStore m_sessionIndexStore;
    // The threads of the last load, whose text the next load takes where it is unchanged
    // (ThreadTextReuse): shared with the list the caller holds, so it costs nothing more.
    mutable std::mutex m_lastReadLock;
    mutable Internal::ThreadTextReuse::Read m_lastRead;
};

} // namespace tolvaran
