#pragma once

#include "data/codex/CodexThread.h"
#include "data/DataLogging.h"
#include "data/token_usage/TokenIndexAccess.h"
#include "data/token_usage/TokenIndexScan.h"
#include "data/token_usage/TokenUsageError.h"
#include "data/token_usage/TokenUsageStore.h"
#include "data/token_usage/UsageEvent.h"
#include "platform/storage/SqliteDatabase.h"
#include "platform/storage/SqliteStatement.h"

#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>
#include <stop_token>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace tolvaran::Internal {

// Runs `work`, turning a failure of SQLite into the index's own error of case `failure`.
template <typename Work>
auto guardedIndexWork(TokenUsageError::Kind failure, Work &&work)
{
    try {
        return work();
    } catch (const SqliteError &error) {
        qCWarning(lcData, "Token usage index: %s", error.what());
        throw TokenUsageError(failure);
    }
}

// The query that reads every event of the index, in the columns aggregation takes.
extern const char *const tokenIndexReadEventsSql;

// The identity of a thread as its events store it.
struct EventIdentity
{
    QString threadID;
    QString projectPath;
    std::optional<QString> model;

    friend bool operator==(const EventIdentity &, const EventIdentity &) = default;
};

// Which state of the index a store's events in memory were read from.
struct IndexGeneration
{
    qint64 instance = 0;
    qint64 generation = 0;

    friend bool operator==(const IndexGeneration &, const IndexGeneration &) = default;
};

struct PathHash
{
    size_t operator()(const QString &path) const noexcept { return qHash(path); }
};

// What a store knows of one rollout between passes.
struct RolloutRecord
{
    bool indexed = false; // has a scan-state row
    qint64 offset = 0;    // its scan offset
    std::optional<RolloutFileState> skippedAs; // its row in the skip state
    // The file as the last pass that looked at it saw it; absent: never looked at.
    std::optional<RolloutFileState> seen;
    // The identity its stored events carry: unknown (outer absent) until asked once, and
    // absent when it has no events.
    std::optional<std::optional<EventIdentity>> identity;
    quint64 listedIn = 0; // the thread list that last named it
    const CodexThread *thread = nullptr; // the first thread of that list that names it
    RolloutFileState polled;  // as this pass's stat() saw it,
    quint64 polledInPass = 0; // when this is the pass
};

// What a store keeps between passes, so that a pass costs what changed since the one before
// rather than what the index holds. It mirrors the scan and skip state of the index as it was
// at `generation`, which every pass that writes anything counts up; a different generation
// (another store wrote, or the file was replaced) makes it read again.
struct TokenIndexState
{
    QString databasePath;
    // The connection of the last pass, kept while the file at databasePath is the one it
    // opened (same device and inode), so that SQLite's pages and the write-ahead log carry
    // over: a pass of a few rollouts then costs a few page writes rather than a journal made,
    // synced and deleted, and every page read again.
    std::optional<SqliteDatabase> db;
    dev_t device = 0;
    ino_t inode = 0;
    IndexGeneration generation;
    // Node-based, so that the candidates below can point at records.
    std::unordered_map<QString, RolloutRecord, PathHash> rollouts;
    // The thread list last given, kept so that the same list given again is known by its
    // data pointer alone, with the rollouts it names (one thread per path, the first listed).
    QList<CodexThread> threads;
    std::vector<std::pair<const CodexThread *, RolloutRecord *>> candidates;
    // The same, the most recently updated thread first (of equal times, as listed): the order
    // rollouts never indexed are taken in.
    std::vector<std::pair<const CodexThread *, RolloutRecord *>> newestFirst;
    // Of those, the ones not indexed at the end of the last pass (a pass looks only at these
    // for rollouts to add), unless `unindexedStale`: then they are picked out again.
    std::vector<std::pair<const CodexThread *, RolloutRecord *>> unindexed;
    // Those of them skipped as they looked then (few): the others all wait to be indexed.
    std::unordered_set<const RolloutRecord *> unindexedSkipped;
    bool unindexedStale = true;
    quint64 listVersion = 0;
    // What the list holds, for the aggregation: the same number while only the list's copy
    // changes (see nextThreadsVersion()).
    quint64 threadsVersion = 0;
    bool movesResolved = false; // for this list
    quint64 pass = 0;
    TokenIndexAccess::Clock::time_point lastFullCheck;
};

// The rollouts that may have changed since the last pass.
struct RolloutChanges
{
    bool all = true;
    QSet<QString> paths; // when not all
};

// One refresh's work on an open database: it brings the rollouts indexed before up to date,
// adds rollouts never indexed, and says what it added.
class TokenIndexPass final
{
public:
    TokenIndexPass(SqliteDatabase &db, TokenIndexState &state, const TokenIndexAccess &access,
              int newRolloutLimit, RolloutChanges changes, std::stop_token stopToken)
        : m_db(db)
        , m_state(state)
        , m_access(access)
        , m_newRolloutLimit(newRolloutLimit)
        , m_changes(std::move(changes))
        , m_stopToken(std::move(stopToken))
    {
    }

    void createSchema();
    // Called once in the pass's transaction, before it writes anything, with the index's
    // generation then.
    void setBeforeWriting(std::function<void(const IndexGeneration &)> beforeWriting)
    {
        m_beforeWriting = std::move(beforeWriting);
    }
    // Returns the number of rollouts still waiting to be indexed.
    qint64 indexRollouts(const QList<CodexThread> &threads);

    // The index's generation before and after this refresh's changes.
    const IndexGeneration &generationBefore() const { return m_generationBefore; }
    const IndexGeneration &generationAfter() const { return m_generationAfter; }
    // The events this refresh added, in the order stored; and whether it also changed or
    // removed stored ones (then only a whole new reading tells the index's content).
    const std::vector<UsageEvent> &addedEvents() const { return m_added; }
    bool changedStoredEvents() const { return m_changedStored; }
    const QList<TokenUsageStore::RolloutRead> &reads() const { return m_reads; }

private:
    IndexGeneration readGeneration();
    void countGeneration();
    bool hasColumn(const QString &table, const QString &column);
    void loadState();
    void takeThreadList(const QList<CodexThread> &threads);
    void resolveMovedRollouts();
    const std::optional<EventIdentity> &storedIdentity(const QString &path,
                                                       RolloutRecord &record);
    void updateEventIdentity(const CodexThread &thread, RolloutRecord &record);
    // Stores what reading the rollout gave (called by the scan, one item at a time).
    void store(ScanItem &item);
    void deleteEvents(const QString &rolloutPath);
    void insertEvents(const CodexThread &thread,
                      const std::vector<std::pair<qint64, UsageEvent>> &events);
    void writeScanState(const QString &rolloutPath, qint64 offset, qint64 size);
    void rememberSkipped(const QString &rolloutPath, RolloutRecord &record,
                         const RolloutFileState &state);
    void forgetSkipped(const QString &rolloutPath, RolloutRecord &record);
    SqliteStatement &statement(std::optional<SqliteStatement> &slot, const char *text);

    SqliteDatabase &m_db;
    TokenIndexState &m_state;
    const TokenIndexAccess &m_access;
    int m_newRolloutLimit;
    RolloutChanges m_changes;
    const std::stop_token m_stopToken;
    std::function<void(const IndexGeneration &)> m_beforeWriting;
    std::optional<SqliteStatement> m_identityQuery;
    std::optional<SqliteStatement> m_insertEvent;
    std::optional<SqliteStatement> m_writeScanState;
    IndexGeneration m_generationBefore;
    IndexGeneration m_generationAfter;
    std::vector<UsageEvent> m_added;
    bool m_changedStored = false;
    bool m_wrote = false; // anything at all, scan and skip state included
    QList<TokenUsageStore::RolloutRead> m_reads;
};

} // namespace tolvaran::Internal
