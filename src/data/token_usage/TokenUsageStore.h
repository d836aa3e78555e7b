#pragma once

#include "data/codex/CodexThread.h"
#include "data/codex/RolloutChangeLog.h"
#include "data/token_usage/TokenIndexAccess.h"
#include "data/token_usage/TokenUsageSnapshot.h"
#include "platform/ApplicationSupport.h"

#include <QList>
#include <QSet>
#include <QStringList>
#include <QString>
#include <QTimeZone>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <stop_token>

namespace tolvaran {

namespace Internal {
struct TokenIndexState;
}

// The program's own index of the token counts Codex writes into its rollout files
// ("token-usage-v1.sqlite" in the application-support folder), and the reports built from it.
//
// Each refresh brings every rollout indexed before up to date by reading only the bytes
// appended since, adds at most `maximumNewRolloutsPerRefresh` rollouts never indexed (those of
// the most recently updated threads first), and aggregates the whole index into a snapshot.
// All state is in the database; a refresh reuses the connection of the one before while the
// file is the same, and otherwise opens its own. To keep a refresh over millions of events
// short, the store also keeps the events it last read, in aggregated form, under its own lock;
// the index's generation (counted in the database by every refresh that changes events) tells
// whether they still hold, and a refresh that only added events adds them to what it keeps
// instead of reading the index again.
class TokenUsageStore final
{
public:
    static constexpr int maximumNewRolloutsPerRefresh = 12;
    static constexpr int busyTimeoutMilliseconds = 2000;
    // An index of many rows is read in parts of at least this many rows, side by side.
    static constexpr qint64 rowsPerReadingPart = 200000;
    static constexpr int maximumReadingParts = 4;
    // The rollouts of one pass are read side by side on at most this many threads, one for
    // every this many bytes to read.
    static constexpr int maximumScanThreads = 6;
    static constexpr qint64 bytesPerScanThread = 8 * 1024 * 1024;
    // Files read and waiting to be written, at most; readers wait beyond.
    static constexpr int maximumWaitingFiles = 64;
    static QString databaseFileName(); // "token-usage-v1.sqlite"

    // An empty folder leaves the index without a location: every refresh then returns the
    // empty snapshot. Day and hour boundaries of the reports follow `timeZone`. Rollout files
    // and the clock of the full checks are reached through `access`. Touches neither the file
    // system nor the database.
    explicit TokenUsageStore(QString applicationSupportDirectory =
                                 defaultApplicationSupportDirectory(),
                             QTimeZone timeZone = QTimeZone::systemTimeZone(),
                             TokenIndexAccess access = {});
    ~TokenUsageStore();
    TokenUsageStore(const TokenUsageStore &) = delete;
    TokenUsageStore &operator=(const TokenUsageStore &) = delete;

    // Empty when the index has no location.
    QString databasePath() const;
    const QTimeZone &timeZone() const { return m_timeZone; }

    // Indexes the rollouts of `threads` (all of Codex's threads, archived ones included) and
    // returns the snapshot of the whole index at `now`. Creates the folder (0700) and the
    // database (0600) when missing. Throws TokenUsageError; a failed refresh leaves the index
    // as it was before the call. A rollout that is missing or cannot be read is skipped, and
    // one found missing, unreadable or without a complete line is not tried again until its
    // size or modification time changes. Callable from any thread. A stop requested through
    // `stopToken` ends the pass between (or within) rollouts, keeps what it indexed, and
    // returns the empty snapshot.
    TokenUsageSnapshot refresh(const QList<CodexThread> &threads, Timestamp now,
                               const std::stop_token &stopToken = {}) const;

    // The snapshot at `now` made again from the events the last refresh kept in memory,
    // without touching any file: what the clock alone changes (an hour or a day that began,
    // a weekly window that reset; see TokenUsageSnapshot::nextBoundaryAt). `threads` and
    // `pendingRolloutCount` are those of the last snapshot. Nothing when no refresh has kept
    // events yet, one is running right now, or `now` lies before the last refresh: a refresh
    // gives the figures then. Callable from any thread.
    std::optional<TokenUsageSnapshot> reaggregate(const QList<CodexThread> &threads,
                                                  qint64 pendingRolloutCount,
                                                  Timestamp now) const;

    // What a file monitor saw of the rollout files. While changes are watched, a refresh asks
    // the file system only about the rollouts named since the one before (and about all of
    // them once every `rolloutFullCheckInterval`, and after changes were missed), rather than
    // about every rollout. A rollout never indexed is read whatever the monitor says.
    static constexpr std::chrono::seconds rolloutFullCheckInterval{60};
    void setRolloutChangesWatched(bool watched) { m_rolloutChanges.setWatched(watched); }
    void noteRolloutChanges(const QStringList &paths) { m_rolloutChanges.note(paths); }
    void noteRolloutChangesMissed() { m_rolloutChanges.noteMissed(); }

    // A stretch of a rollout file that a refresh read, from `from` up to `to` (the size seen).
    struct RolloutRead
    {
        QString path;
        qint64 from = 0;
        qint64 to = 0;
        friend bool operator==(const RolloutRead &, const RolloutRead &) = default;
    };
    // What the last refresh read, in no particular order (for tests and benchmarks).
    QList<RolloutRead> lastRefreshReads() const;

    // How many rollouts never indexed one refresh adds at most (`maximumNewRolloutsPerRefresh`
    // unless changed); at least one. Comparisons with an unpaced index set it high.
    void setNewRolloutsPerRefresh(int count) { m_newRolloutsPerRefresh = std::max(count, 1); }

private:
    struct Cache;

    QString m_directory;
    QTimeZone m_timeZone;
    TokenIndexAccess m_access;
    int m_newRolloutsPerRefresh = maximumNewRolloutsPerRefresh;
    mutable std::mutex m_cacheLock;
    mutable std::unique_ptr<Cache> m_cache;
    mutable std::unique_ptr<Internal::TokenIndexState> m_indexState;
    mutable QList<RolloutRead> m_lastReads;
    mutable RolloutChangeLog m_rolloutChanges;
};

} // namespace tolvaran
