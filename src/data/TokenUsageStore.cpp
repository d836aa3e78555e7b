#include "data/TokenUsageStore.h"

#include "data/DataLogging.h"
#include "data/RolloutTokenScanner.h"
#include "data/TokenCountLineParser.h"
#include "data/TokenUsageAggregator.h"
#include "data/TokenUsageError.h"
#include "platform/ForEachSideBySide.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"

#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvaran {

namespace {

using Internal::RolloutTokenScanner;
using Internal::TokenCountLineParser;
using Internal::TokenUsageAggregator;
using Internal::UsageEvent;

// Each refresh opens its own connection and uses it on its own thread only, so SQLite's
// per-call locking (full mutex) would only slow the reading of millions of rows.
constexpr int openFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;

// The first three statements are the index's format; every version of the program creates
// them alike. rollout_skip_state remembers rollouts that had nothing to index (missing,
// unreadable, or without a complete line) as they looked then, so that they are not tried,
// nor counted as waiting, until they change. index_generation holds one row: a number drawn
// when the index was made and a count of the refreshes that changed its events; a store's
// events in memory hold while both are what they were when it read them.
const char *const schemaSql = R"(CREATE TABLE IF NOT EXISTS usage_events (
    rollout_path TEXT NOT NULL,
    event_offset INTEGER NOT NULL,
    thread_id TEXT NOT NULL,
    project_path TEXT NOT NULL,
    recorded_at REAL NOT NULL,
    input_tokens INTEGER NOT NULL,
    cached_input_tokens INTEGER NOT NULL,
    output_tokens INTEGER NOT NULL,
    total_tokens INTEGER NOT NULL,
    model TEXT,
    weekly_used_percent REAL,
    weekly_window_minutes INTEGER,
    weekly_resets_at REAL,
    plan_type TEXT,
    PRIMARY KEY (rollout_path, event_offset)
);
CREATE INDEX IF NOT EXISTS usage_events_project_date ON usage_events(project_path, recorded_at);
CREATE TABLE IF NOT EXISTS rollout_scan_state (
    rollout_path TEXT PRIMARY KEY,
    scan_offset INTEGER NOT NULL,
    file_size INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS rollout_skip_state (
    rollout_path TEXT PRIMARY KEY,
    file_size INTEGER NOT NULL,
    modified_at_ns INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS index_generation (
    instance INTEGER NOT NULL,
    generation INTEGER NOT NULL
);)";

// Older indexes lack the weekly columns or the plan type. Forgetting the scan state makes the
// next refreshes read every rollout again; the insert's conflict clause then fills in the new
// columns of the events already stored and keeps their counts.
const char *const weeklyColumnsMigrationSql =
    "ALTER TABLE usage_events ADD COLUMN weekly_used_percent REAL; "
    "ALTER TABLE usage_events ADD COLUMN weekly_window_minutes INTEGER; "
    "ALTER TABLE usage_events ADD COLUMN weekly_resets_at REAL; "
    "DELETE FROM rollout_scan_state;";
const char *const planTypeMigrationSql =
    "ALTER TABLE usage_events ADD COLUMN plan_type TEXT; "
    "DELETE FROM rollout_scan_state;";

const char *const insertEventSql = "INSERT INTO usage_events (\n"
                                   "    rollout_path, event_offset, thread_id, project_path, "
                                   "recorded_at,\n"
                                   "    input_tokens, cached_input_tokens, output_tokens, "
                                   "total_tokens, model,\n"
                                   "    weekly_used_percent, weekly_window_minutes, "
                                   "weekly_resets_at\n"
                                   "    , plan_type\n"
                                   "    ) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)\n"
                                   "    ON CONFLICT(rollout_path, event_offset) DO UPDATE SET\n"
                                   "    weekly_used_percent=excluded.weekly_used_percent,\n"
                                   "    weekly_window_minutes=excluded.weekly_window_minutes,\n"
                                   "    weekly_resets_at=excluded.weekly_resets_at,\n"
                                   "    plan_type=excluded.plan_type";

const char *const readEventsSql =
    "SELECT project_path, recorded_at, input_tokens, cached_input_tokens, output_tokens, "
    "total_tokens, model, weekly_used_percent, weekly_window_minutes, weekly_resets_at, "
    "plan_type FROM usage_events";

QString sql(const char *text)
{
    return QString::fromUtf8(text);
}

// Runs `work`, turning a failure of SQLite into the index's own error of case `failure`.
template <typename Work>
auto guarded(TokenUsageError::Case failure, Work &&work)
{
    try {
        return work();
    } catch (const SqliteError &error) {
        qCWarning(lcData, "Token usage index: %s", error.what());
        throw TokenUsageError(failure);
    }
}

constexpr auto readFailed = TokenUsageError::Case::databaseReadFailed;
constexpr auto writeFailed = TokenUsageError::Case::databaseWriteFailed;

// A rollout file as one stat() sees it; what the skip state compares.
struct FileState
{
    qint64 size = -1; // -1: missing
    qint64 modifiedNanoseconds = 0;

    friend bool operator==(const FileState &, const FileState &) = default;
};

FileState fileState(const QString &path)
{
    struct stat info{};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {qint64(info.st_size),
            qint64(info.st_mtim.tv_sec) * 1000000000 + qint64(info.st_mtim.tv_nsec)};
}

// The identity of a thread as its events store it.
struct EventIdentity
{
    QString threadID;
    QString projectPath;
    std::optional<QString> model;

    friend bool operator==(const EventIdentity &, const EventIdentity &) = default;
};

} // namespace

namespace Internal {

// Which state of the index a store's events in memory were read from.
struct IndexGeneration
{
    qint64 instance = 0;
    qint64 generation = 0;

    friend bool operator==(const IndexGeneration &, const IndexGeneration &) = default;
};

} // namespace Internal

namespace {

using Internal::IndexGeneration;

struct PathHash
{
    size_t operator()(const QString &path) const noexcept { return qHash(path); }
};

// What a store knows of one rollout between passes.
struct RolloutRecord
{
    bool indexed = false; // has a scan-state row
    qint64 offset = 0;    // its scan offset
    std::optional<FileState> skippedAs; // its row in the skip state
    // The file as the last pass that looked at it saw it; absent: never looked at.
    std::optional<FileState> seen;
    // The identity its stored events carry: unknown (outer absent) until asked once, and
    // absent when it has no events.
    std::optional<std::optional<EventIdentity>> identity;
    quint64 listedIn = 0; // the thread list that last named it
    FileState polled;      // as this pass's stat() saw it,
    quint64 polledInPass = 0; // when this is the pass
};

} // namespace

namespace Internal {

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
    quint64 listVersion = 0;
    bool movesResolved = false; // for this list
    quint64 pass = 0;
    std::chrono::steady_clock::time_point lastFullCheck;
};

} // namespace Internal

namespace {

using Internal::TokenIndexState;

// The rollouts that may have changed since the last pass.
struct RolloutChanges
{
    bool all = true;
    QSet<QString> paths; // when not all
};

// One rollout a pass reads, and what reading it gave.
struct ScanItem
{
    const CodexThread *thread = nullptr;
    RolloutRecord *record = nullptr;
    FileState state;      // before the read
    qint64 offset = 0;    // where the read starts
    bool restart = false; // shrunk below its offset: its rows go first
    std::optional<qint64> consumed;
    std::vector<std::pair<qint64, UsageEvent>> events;
};

// One refresh's work on an open database.
class IndexPass final
{
public:
    IndexPass(SqliteDatabase &db, TokenIndexState &state, int newRolloutLimit,
              RolloutChanges changes, std::stop_token stopToken)
        : m_db(db)
        , m_state(state)
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
    void scanAll(std::vector<ScanItem> &items);
    void store(ScanItem &item);
    void deleteEvents(const QString &rolloutPath);
    void insertEvents(const CodexThread &thread,
                      const std::vector<std::pair<qint64, UsageEvent>> &events);
    void writeScanState(const QString &rolloutPath, qint64 offset, qint64 size);
    void rememberSkipped(const QString &rolloutPath, RolloutRecord &record,
                         const FileState &state);
    void forgetSkipped(const QString &rolloutPath, RolloutRecord &record);
    SqliteStatement &statement(std::optional<SqliteStatement> &slot, const char *text);

    SqliteDatabase &m_db;
    TokenIndexState &m_state;
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

SqliteStatement &IndexPass::statement(std::optional<SqliteStatement> &slot, const char *text)
{
    if (!slot)
        slot.emplace(m_db, sql(text));
    else
        slot->reset();
    return *slot;
}

IndexGeneration IndexPass::readGeneration()
{
    const std::optional<IndexGeneration> stored =
        guarded(readFailed, [&]() -> std::optional<IndexGeneration> {
            SqliteStatement query(m_db, QStringLiteral("SELECT instance, generation "
                                                       "FROM index_generation LIMIT 1"));
            if (!query.step())
                return std::nullopt;
            return IndexGeneration{query.int64(0), query.int64(1)};
        });
    if (stored)
        return *stored;
    const IndexGeneration fresh{qint64(QRandomGenerator::system()->generate64() >> 1), 0};
    guarded(writeFailed, [&] {
        SqliteStatement insert(m_db, QStringLiteral("INSERT INTO index_generation VALUES "
                                                    "(?, ?)"));
        insert.bind(1, fresh.instance);
        insert.bind(2, fresh.generation);
        insert.run();
    });
    return fresh;
}

void IndexPass::countGeneration()
{
    guarded(writeFailed, [&] {
        m_db.execute(QStringLiteral("UPDATE index_generation SET generation = generation + 1"));
    });
}

bool IndexPass::hasColumn(const QString &table, const QString &column)
{
    return guarded(readFailed, [&] {
        SqliteStatement info(m_db, QStringLiteral("PRAGMA table_info(") + table
                                       + QLatin1Char(')'));
        while (info.step()) {
            if (info.text(1) == column)
                return true;
        }
        return false;
    });
}

void IndexPass::createSchema()
{
    guarded(writeFailed, [&] { m_db.execute(sql(schemaSql)); });
    const auto migrate = [&](const char *migration) {
        guarded(writeFailed, [&] {
            SqliteTransaction transaction(m_db);
            m_db.execute(sql(migration));
            readGeneration();
            countGeneration();
            transaction.commit();
        });
    };
    if (!hasColumn(QStringLiteral("usage_events"), QStringLiteral("weekly_used_percent")))
        migrate(weeklyColumnsMigrationSql);
    if (!hasColumn(QStringLiteral("usage_events"), QStringLiteral("plan_type")))
        migrate(planTypeMigrationSql);
}

void IndexPass::loadState()
{
    m_state.rollouts.clear();
    m_state.movesResolved = false;
    ++m_state.listVersion; // every record is new: the list names them again
    m_state.candidates.clear();
    m_state.newestFirst.clear();
    m_state.threads.clear();
    guarded(readFailed, [&] {
        SqliteStatement scanned(m_db, QStringLiteral("SELECT rollout_path, scan_offset "
                                                     "FROM rollout_scan_state"));
        while (scanned.step()) {
            RolloutRecord &record = m_state.rollouts[scanned.text(0)];
            record.indexed = true;
            record.offset = std::max<qint64>(scanned.int64(1), 0);
        }
        SqliteStatement skipped(m_db,
                                QStringLiteral("SELECT rollout_path, file_size, modified_at_ns "
                                               "FROM rollout_skip_state"));
        while (skipped.step())
            m_state.rollouts[skipped.text(0)].skippedAs =
                FileState{skipped.int64(1), skipped.int64(2)};
    });
}

void IndexPass::takeThreadList(const QList<CodexThread> &threads)
{
    // The same list given again (a pass with no new refresh of Codex's threads between):
    // its rollouts, their identities and moves are as the last pass left them.
    if (!m_state.threads.isEmpty() && threads.constData() == m_state.threads.constData()
        && threads.size() == m_state.threads.size())
        return;
    m_state.threads = threads;
    ++m_state.listVersion;
    m_state.movesResolved = false;
    m_state.candidates.clear();
    m_state.candidates.reserve(size_t(threads.size()));
    for (const CodexThread &thread : std::as_const(m_state.threads)) {
        if (thread.rolloutPath.isEmpty())
            continue;
        RolloutRecord &record = m_state.rollouts[thread.rolloutPath];
        if (record.listedIn == m_state.listVersion)
            continue; // a later thread naming the same rollout
        record.listedIn = m_state.listVersion;
        m_state.candidates.emplace_back(&thread, &record);
    }
    m_state.newestFirst = m_state.candidates;
    std::stable_sort(m_state.newestFirst.begin(), m_state.newestFirst.end(),
                     [](const auto &a, const auto &b) {
                         return a.first->updatedAt > b.first->updatedAt;
                     });
}

const std::optional<EventIdentity> &IndexPass::storedIdentity(const QString &path,
                                                              RolloutRecord &record)
{
    if (record.identity)
        return *record.identity;
    // Every refresh gives all events of a rollout the same identity, so one row tells it.
    record.identity = guarded(readFailed, [&]() -> std::optional<EventIdentity> {
        SqliteStatement &query = statement(
            m_identityQuery, "SELECT thread_id, project_path, model FROM usage_events "
                             "WHERE rollout_path = ? LIMIT 1");
        query.bind(1, path);
        if (!query.step())
            return std::nullopt;
        return EventIdentity{query.text(0), query.text(1), query.optionalText(2)};
    });
    return *record.identity;
}

// Codex moves a rollout into "archived_sessions" when its thread is archived (and back when it
// is restored) and records the new path. The events indexed under the old path move with it,
// scan offset included, so the thread's usage is neither counted twice nor read again.
void IndexPass::resolveMovedRollouts()
{
    std::vector<QString> unlisted;
    for (const auto &[path, record] : m_state.rollouts) {
        if (record.indexed && record.listedIn != m_state.listVersion)
            unlisted.push_back(path);
    }
    if (unlisted.empty())
        return;
    QHash<QString, const CodexThread *> threadsByID;
    for (const auto &[thread, record] : m_state.candidates)
        threadsByID.insert(thread->id, thread);
    for (const QString &oldPath : unlisted) {
        RolloutRecord &old = m_state.rollouts[oldPath];
        const std::optional<EventIdentity> &identity = storedIdentity(oldPath, old);
        const CodexThread *thread = identity ? threadsByID.value(identity->threadID) : nullptr;
        if (!thread)
            continue; // a deleted thread's usage stays counted
        const QString &newPath = thread->rolloutPath;
        RolloutRecord &moved = m_state.rollouts[newPath];
        if (moved.indexed) {
            // Both were indexed (by a version that did not follow moves): the new path holds
            // the same lines, so the old rows are duplicates.
            deleteEvents(oldPath);
            m_state.rollouts.erase(oldPath);
            continue;
        }
        guarded(writeFailed, [&] {
            for (const char *text : {"UPDATE usage_events SET rollout_path = ? "
                                     "WHERE rollout_path = ?",
                                     "UPDATE rollout_scan_state SET rollout_path = ? "
                                     "WHERE rollout_path = ?"}) {
                SqliteStatement update(m_db, sql(text));
                update.bind(1, newPath);
                update.bind(2, oldPath);
                update.run();
            }
        });
        m_changedStored = true;
        m_wrote = true;
        forgetSkipped(newPath, moved);
        moved.indexed = true;
        moved.offset = old.offset;
        moved.identity = old.identity;
        moved.seen.reset();
        m_state.rollouts.erase(oldPath);
    }
}

void IndexPass::updateEventIdentity(const CodexThread &thread, RolloutRecord &record)
{
    const EventIdentity wanted{thread.id, thread.cwd, thread.model};
    const std::optional<EventIdentity> &stored = storedIdentity(thread.rolloutPath, record);
    // Rewriting rows that already carry the identity would rewrite the whole table on every
    // refresh; only a thread that changed folder, model or id is relabelled.
    if (!stored || *stored == wanted)
        return;
    guarded(writeFailed, [&] {
        SqliteStatement update(m_db, QStringLiteral("UPDATE usage_events SET thread_id = ?, "
                                                    "project_path = ?, model = ? "
                                                    "WHERE rollout_path = ?"));
        update.bind(1, thread.id);
        update.bind(2, thread.cwd);
        update.bind(3, thread.model);
        update.bind(4, thread.rolloutPath);
        update.run();
    });
    record.identity = std::optional<EventIdentity>(wanted);
    m_changedStored = true;
    m_wrote = true;
}

void IndexPass::deleteEvents(const QString &rolloutPath)
{
    guarded(writeFailed, [&] {
        for (const char *text : {"DELETE FROM usage_events WHERE rollout_path = ?",
                                 "DELETE FROM rollout_scan_state WHERE rollout_path = ?"}) {
            SqliteStatement remove(m_db, sql(text));
            remove.bind(1, rolloutPath);
            remove.run();
        }
    });
    m_changedStored = true;
    m_wrote = true;
}

// The rollout's identity is bound once; each event binds only its own values.
void IndexPass::insertEvents(const CodexThread &thread,
                             const std::vector<std::pair<qint64, UsageEvent>> &events)
{
    if (events.empty())
        return;
    guarded(writeFailed, [&] {
        SqliteStatement &insert = statement(m_insertEvent, insertEventSql);
        insert.bind(1, thread.rolloutPath);
        insert.bind(3, thread.id);
        insert.bind(4, thread.cwd);
        insert.bind(10, thread.model);
        for (const auto &[offset, event] : events) {
            insert.rewind();
            insert.bind(2, offset);
            insert.bind(5, event.date.seconds);
            insert.bind(6, event.input);
            insert.bind(7, event.cachedInput);
            insert.bind(8, event.output);
            insert.bind(9, event.total);
            if (event.weeklyUsedPercent)
                insert.bind(11, *event.weeklyUsedPercent);
            else
                insert.bindNull(11);
            if (event.weeklyWindowMinutes)
                insert.bind(12, *event.weeklyWindowMinutes);
            else
                insert.bindNull(12);
            if (event.weeklyResetsAt)
                insert.bind(13, event.weeklyResetsAt->seconds);
            else
                insert.bindNull(13);
            insert.bind(14, event.planType);
            const qint64 lastRowBefore = m_db.lastInsertRowId();
            insert.run();
            // An insert gives a new row id; the conflict clause updates a stored row instead.
            if (m_db.lastInsertRowId() != lastRowBefore)
                m_added.push_back(event);
            else
                m_changedStored = true;
        }
    });
    m_wrote = true;
}

void IndexPass::writeScanState(const QString &rolloutPath, qint64 offset, qint64 size)
{
    guarded(writeFailed, [&] {
        SqliteStatement &write = statement(
            m_writeScanState,
            "INSERT INTO rollout_scan_state VALUES (?, ?, ?) ON CONFLICT(rollout_path) DO "
            "UPDATE SET scan_offset=excluded.scan_offset, file_size=excluded.file_size");
        write.bind(1, rolloutPath);
        write.bind(2, offset);
        write.bind(3, size);
        write.run();
    });
    m_wrote = true;
}

void IndexPass::rememberSkipped(const QString &rolloutPath, RolloutRecord &record,
                                const FileState &state)
{
    if (record.skippedAs == state)
        return;
    guarded(writeFailed, [&] {
        SqliteStatement write(m_db,
                              QStringLiteral("INSERT OR REPLACE INTO rollout_skip_state "
                                             "VALUES (?, ?, ?)"));
        write.bind(1, rolloutPath);
        write.bind(2, state.size);
        write.bind(3, state.modifiedNanoseconds);
        write.run();
    });
    record.skippedAs = state;
    m_wrote = true;
}

void IndexPass::forgetSkipped(const QString &rolloutPath, RolloutRecord &record)
{
    if (!record.skippedAs)
        return;
    guarded(writeFailed, [&] {
        SqliteStatement remove(m_db, QStringLiteral("DELETE FROM rollout_skip_state "
                                                    "WHERE rollout_path = ?"));
        remove.bind(1, rolloutPath);
        remove.run();
    });
    record.skippedAs.reset();
    m_wrote = true;
}

// Reads the rollouts side by side, each file's lines parsed on the thread that reads them,
// while this thread (the connection's) stores what each gave as soon as it is ready. A file
// that fails while being read gives nothing, so none of its lines of this pass is stored.
void IndexPass::scanAll(std::vector<ScanItem> &items)
{
    if (items.empty())
        return;
    std::mutex lock;
    std::condition_variable readyChanged; // the writer waits for files read
    std::condition_variable roomChanged;  // readers wait for room in the queue
    std::vector<size_t> ready;
    size_t next = 0;
    size_t storedCount = 0;
    bool stopping = false;

    const auto scanOne = [&](size_t index, RolloutTokenScanner &scanner) {
        ScanItem &item = items[index];
        const CodexThread &thread = *item.thread;
        item.consumed = scanner.scan(
            thread.rolloutPath, item.offset, item.state.size,
            [&](qint64 lineOffset, QByteArrayView line) {
                if (auto event = TokenCountLineParser::parseEvent(line, thread.cwd,
                                                                  thread.model))
                    item.events.emplace_back(lineOffset, std::move(*event));
            },
            m_stopToken);
        if (!item.consumed)
            item.events.clear();
    };
    // A reader waits while the files read and not stored yet fill the queue, so that a pass
    // over a large history holds only a few files' events at a time.
    const auto worker = [&] {
        RolloutTokenScanner scanner;
        std::unique_lock held(lock);
        for (;;) {
            roomChanged.wait(held, [&] {
                return stopping || next == items.size()
                    || ready.size() < size_t(TokenUsageStore::maximumWaitingFiles);
            });
            if (stopping || next == items.size())
                return;
            if (m_stopToken.stop_requested()) {
                // The files not read yet are left for the next pass.
                next = items.size();
                readyChanged.notify_one();
                return;
            }
            const size_t index = next++;
            held.unlock();
            scanOne(index, scanner);
            held.lock();
            ready.push_back(index);
            if (ready.size() == 1)
                readyChanged.notify_one();
        }
    };
    std::exception_ptr failure;
    {
        // One reader for every so many bytes: a paced pass of a few small rollouts would
        // spend more on starting threads than on reading.
        qint64 bytes = 0;
        for (const ScanItem &item : items)
            bytes += item.state.size - item.offset;
        const size_t readers = size_t(std::clamp<qint64>(
            bytes / TokenUsageStore::bytesPerScanThread + 1, 1,
            std::min<qint64>(qint64(items.size()), TokenUsageStore::maximumScanThreads)));
        std::vector<std::jthread> threads;
        for (size_t i = 0; i < readers; ++i)
            threads.emplace_back(worker);
        std::vector<size_t> taken;
        std::unique_lock held(lock);
        while (storedCount < items.size()) {
            readyChanged.wait(held, [&] {
                return !ready.empty() || (next == items.size() && m_stopToken.stop_requested());
            });
            if (ready.empty())
                break; // stopped: what is still being read is left for the next pass
            taken.swap(ready);
            held.unlock();
            roomChanged.notify_all();
            try {
                for (const size_t index : taken) {
                    store(items[index]);
                    items[index].events = {};
                }
            } catch (...) {
                failure = std::current_exception();
            }
            held.lock();
            if (failure)
                break;
            storedCount += taken.size();
            taken.clear();
        }
        // Readers still waiting for room give up, so that they can be joined.
        stopping = true;
        held.unlock();
        roomChanged.notify_all();
    }
    if (failure)
        std::rethrow_exception(failure);
}

void IndexPass::store(ScanItem &item)
{
    const CodexThread &thread = *item.thread;
    const QString &path = thread.rolloutPath;
    RolloutRecord &record = *item.record;
    if (!item.consumed) {
        // Stopped, not unreadable: the next pass reads it again.
        if (m_stopToken.stop_requested())
            return;
        qCWarning(lcData, "Token usage index: could not read %s", qUtf8Printable(path));
        if (!record.indexed)
            rememberSkipped(path, record, item.state);
        return;
    }
    if (item.restart) {
        deleteEvents(path);
        record.indexed = false;
        record.offset = 0;
        record.identity = std::optional<EventIdentity>();
    }
    insertEvents(thread, item.events);
    if (!item.events.empty() && !(record.identity && *record.identity))
        record.identity = std::optional<EventIdentity>(
            EventIdentity{thread.id, thread.cwd, thread.model});
    record.seen = item.state;
    if (*item.consumed > item.offset) {
        writeScanState(path, *item.consumed, item.state.size);
        record.indexed = true;
        record.offset = *item.consumed;
        forgetSkipped(path, record);
    } else if (!record.indexed) {
        rememberSkipped(path, record, item.state); // no complete line yet
    }
}

qint64 IndexPass::indexRollouts(const QList<CodexThread> &threads)
{
    SqliteTransaction transaction =
        guarded(writeFailed, [&] { return SqliteTransaction(m_db); });
    m_generationBefore = readGeneration();
    m_generationAfter = m_generationBefore;
    if (m_beforeWriting)
        m_beforeWriting(m_generationBefore);
    if (m_state.generation != m_generationBefore) {
        loadState();
        m_state.generation = m_generationBefore;
        m_changes.all = true;
    }
    takeThreadList(threads);
    if (!m_state.movesResolved) {
        resolveMovedRollouts();
        for (const auto &[thread, record] : m_state.candidates) {
            if (record->indexed)
                updateEventIdentity(*thread, *record);
        }
        m_state.movesResolved = true;
    }

    // The rollouts indexed before and those skipped as they looked then are looked at
    // again: those a file monitor saw change, or all of them when no monitor tells. The
    // stat() calls run side by side, as there are as many as there are threads.
    ++m_state.pass;
    std::vector<std::pair<const CodexThread *, RolloutRecord *>> watched;
    for (const auto &[thread, record] : m_state.candidates) {
        if ((record->indexed || record->skippedAs)
            && (m_changes.all || m_changes.paths.contains(thread->rolloutPath)))
            watched.emplace_back(thread, record);
    }
    std::vector<FileState> states(watched.size());
    // Two items at least for every thread beside the calling one.
    const size_t statThreads =
        std::min(size_t(TokenUsageStore::maximumScanThreads), watched.size() / 2 + 1);
    forEachSideBySide(watched.size(), statThreads, [&](size_t i) {
        states[i] = fileState(watched[i].first->rolloutPath);
    });
    for (size_t i = 0; i < watched.size(); ++i) {
        watched[i].second->polled = states[i];
        watched[i].second->polledInPass = m_state.pass;
    }

    std::vector<ScanItem> items;
    for (size_t i = 0; i < watched.size(); ++i) {
        auto [thread, record] = watched[i];
        const FileState &state = states[i];
        if (!record->indexed || record->seen == state)
            continue;
        // Gone: what was indexed stays counted.
        if (state.size < 0 || state.size == record->offset) {
            record->seen = state;
            continue;
        }
        ScanItem item;
        item.thread = thread;
        item.record = record;
        item.state = state;
        item.offset = record->offset;
        if (state.size < record->offset) {
            // Shrunk below what was read: truncated or replaced. Start again from its first
            // byte.
            item.offset = 0;
            item.restart = true;
        }
        items.push_back(std::move(item));
    }

    // Rollouts never indexed, except those that had nothing to index and have not changed;
    // the newest first.
    std::vector<std::pair<const CodexThread *, RolloutRecord *>> chosen;
    qint64 waitingCount = 0;
    for (const auto &[thread, record] : m_state.newestFirst) {
        if (record->indexed)
            continue;
        // Not looked at: unchanged, as far as the monitor knows.
        if (record->skippedAs
            && (record->polledInPass != m_state.pass || *record->skippedAs == record->polled))
            continue;
        ++waitingCount;
        if (chosen.size() < size_t(m_newRolloutLimit))
            chosen.emplace_back(thread, record);
    }
    for (auto [thread, record] : chosen) {
        const FileState state = fileState(thread->rolloutPath);
        if (state.size <= 0) {
            // Missing or empty: waits until it appears or grows.
            rememberSkipped(thread->rolloutPath, *record, state);
            continue;
        }
        ScanItem item;
        item.thread = thread;
        item.record = record;
        item.state = state;
        items.push_back(std::move(item));
    }

    for (const ScanItem &item : items)
        m_reads.append({item.thread->rolloutPath, item.offset, item.state.size});
    scanAll(items);
    if (m_wrote) {
        countGeneration();
        ++m_generationAfter.generation;
    }
    guarded(writeFailed, [&] { transaction.commit(); });
    m_state.generation = m_generationAfter;
    return waitingCount - qint64(chosen.size());
}
// Adds the rows of `query` (the columns of readEventsSql) to `events`.
void addRows(SqliteStatement &query, TokenUsageAggregator &events)
{
    TokenUsageAggregator::Row row;
    while (query.step()) {
        row.project = events.internProject(query.textView(0));
        row.date = Timestamp::fromSeconds(query.real(1));
        row.input = query.int64(2);
        row.cachedInput = query.int64(3);
        row.output = query.int64(4);
        row.total = query.int64(5);
        row.model = query.isNull(6) ? TokenUsageAggregator::noText
                                    : events.internModel(query.textView(6));
        row.weeklyUsedPercent =
            query.isNull(7) ? std::nullopt : std::optional<double>(query.real(7));
        row.weeklyWindowMinutes =
            query.isNull(8) ? std::nullopt : std::optional<qint64>(query.int64(8));
        row.weeklyResetsAt = query.isNull(9)
            ? std::nullopt
            : std::optional<Timestamp>(Timestamp::fromSeconds(query.real(9)));
        row.planType = query.isNull(10) ? TokenUsageAggregator::noText
                                        : events.internPlanType(query.textView(10));
        events.add(row);
    }
}

// Reads every event of the index. Reading rows costs SQLite about half a microsecond each,
// so a large index is read in parts of consecutive rows, side by side, each over its own
// connection, and the parts are joined in order.
TokenUsageAggregator readAllEvents(SqliteDatabase &db, const QString &path,
                                   const QTimeZone &timeZone, Timestamp now, double cutoff)
{
    return guarded(readFailed, [&] {
        qint64 lastRow = 0;
        {
            SqliteStatement query(db, QStringLiteral("SELECT MAX(rowid) FROM usage_events"));
            if (query.step())
                lastRow = query.int64(0);
        }
        const qint64 wanted = lastRow / TokenUsageStore::rowsPerReadingPart;
        const int parts = int(std::clamp<qint64>(
            std::min<qint64>(wanted, std::thread::hardware_concurrency()), 1,
            TokenUsageStore::maximumReadingParts));

        TokenUsageAggregator events(timeZone, now, cutoff);
        if (parts == 1) {
            SqliteStatement query(db, sql(readEventsSql));
            addRows(query, events);
            return events;
        }
        const qint64 partRows = lastRow / parts + 1;
        const QString partSql =
            sql(readEventsSql) + QStringLiteral(" WHERE rowid >= ? AND rowid < ?");
        const auto readPart = [&](SqliteDatabase &connection, int part,
                                  TokenUsageAggregator &into) {
            SqliteStatement query(connection, partSql);
            query.bind(1, part * partRows);
            query.bind(2, part + 1 == parts ? std::numeric_limits<qint64>::max()
                                            : (part + 1) * partRows);
            addRows(query, into);
        };
        std::vector<std::optional<TokenUsageAggregator>> later(size_t(parts - 1));
        std::vector<std::exception_ptr> failures(size_t(parts - 1));
        {
            std::vector<std::jthread> readers;
            for (int part = 1; part < parts; ++part) {
                readers.emplace_back([&, part] {
                    try {
                        SqliteDatabase connection(path,
                                                  SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
                        connection.setBusyTimeout(TokenUsageStore::busyTimeoutMilliseconds);
                        auto &into = later[size_t(part - 1)].emplace(timeZone, now, cutoff);
                        readPart(connection, part, into);
                    } catch (...) {
                        failures[size_t(part - 1)] = std::current_exception();
                    }
                });
            }
            readPart(db, 0, events);
        }
        for (const std::exception_ptr &failure : failures) {
            if (failure)
                std::rethrow_exception(failure);
        }
        for (auto &part : later)
            events.append(std::move(*part));
        return events;
    });
}

} // namespace

struct TokenUsageStore::Cache
{
    QString databasePath;
    Internal::IndexGeneration generation;
    TokenUsageAggregator events;
};

QString TokenUsageStore::databaseFileName()
{
    return QStringLiteral("token-usage-v1.sqlite");
}

TokenUsageStore::TokenUsageStore(QString applicationSupportDirectory, QTimeZone timeZone)
    : m_directory(std::move(applicationSupportDirectory))
    , m_timeZone(std::move(timeZone))
{
}

TokenUsageStore::~TokenUsageStore() = default;

QList<TokenUsageStore::RolloutRead> TokenUsageStore::lastRefreshReads() const
{
    const std::lock_guard lock(m_cacheLock);
    return m_lastReads;
}

QString TokenUsageStore::databasePath() const
{
    if (m_directory.isEmpty())
        return {};
    return m_directory + QLatin1Char('/') + databaseFileName();
}

TokenUsageSnapshot TokenUsageStore::refresh(const QList<CodexThread> &threads, Timestamp now,
                                            const std::stop_token &stopToken) const
{
    if (m_directory.isEmpty())
        return TokenUsageSnapshot::empty();
    const QString path = databasePath();

    // The pass state is taken for the pass and given back only after it succeeded: a failed
    // pass rolled its writes back, and the next one reads the state from the index again.
    // A refresh that runs while another holds the state makes its own.
    std::unique_ptr<Internal::TokenIndexState> state;
    {
        const std::lock_guard lock(m_cacheLock);
        state = std::move(m_indexState);
    }
    if (!state || state->databasePath != path) {
        state = std::make_unique<Internal::TokenIndexState>();
        state->databasePath = path;
    }
    struct stat info{};
    const QByteArray nativePath = QFile::encodeName(path);
    if (state->db
        && (::stat(nativePath.constData(), &info) != 0 || info.st_dev != state->device
            || info.st_ino != state->inode))
        state->db.reset(); // deleted or replaced: what is there now is opened
    const bool opened = !state->db;
    if (opened) {
        if (!ensureApplicationSupportDirectory(m_directory))
            throw TokenUsageError(TokenUsageError::Case::folderCreationFailed);
        preparePrivateDatabaseFile(path);
        guarded(TokenUsageError::Case::databaseOpenFailed, [&] {
            state->db.emplace(path, openFlags);
            state->db->setBusyTimeout(busyTimeoutMilliseconds);
            // The index is made again from the rollouts whatever is lost, so a commit need
            // not wait for the disk: the log is synced at its checkpoints only.
            state->db->execute(QStringLiteral("PRAGMA journal_mode=WAL"));
            state->db->execute(QStringLiteral("PRAGMA synchronous=NORMAL"));
        });
        if (::stat(nativePath.constData(), &info) == 0) {
            state->device = info.st_dev;
            state->inode = info.st_ino;
        }
    }
    SqliteDatabase *db = &*state->db;
    RolloutChanges changes;
    {
        RolloutChangeLog::Changes noted = m_rolloutChanges.take();
        const auto clock = std::chrono::steady_clock::now();
        changes.all = !noted.watched || noted.missed
            || clock - state->lastFullCheck >= rolloutFullCheckInterval;
        if (changes.all)
            state->lastFullCheck = clock;
        else
            changes.paths = std::move(noted.paths);
    }
    IndexPass pass(*db, *state, m_newRolloutsPerRefresh, std::move(changes), stopToken);
    if (opened)
        pass.createSchema();
    // Without events in memory (a store's first pass), the index's events are read before the
    // pass writes, and the pass adds its own to them: a first pass over a whole history does
    // not read back every event it has just written.
    bool eventsKept = false;
    {
        const std::lock_guard lock(m_cacheLock);
        eventsKept = m_cache && m_cache->databasePath == path;
    }
    std::unique_ptr<Cache> readBefore;
    if (!eventsKept) {
        pass.setBeforeWriting([&](const Internal::IndexGeneration &generation) {
            readBefore = std::make_unique<Cache>(
                Cache{path, generation,
                      readAllEvents(*db, path, m_timeZone, now,
                                    TokenUsageAggregator::defaultCutoff(m_timeZone, now))});
        });
    }
    const qint64 pending = pass.indexRollouts(threads);
    const auto giveBackState = [&] {
        const std::lock_guard lock(m_cacheLock);
        m_indexState = std::move(state);
    };
    {
        const std::lock_guard lock(m_cacheLock);
        m_lastReads = pass.reads();
    }
    // Stopped: what was indexed is kept; nobody waits for the snapshot.
    if (stopToken.stop_requested()) {
        giveBackState();
        return TokenUsageSnapshot::empty();
    }

    std::unique_ptr<Cache> cache;
    {
        const std::lock_guard lock(m_cacheLock);
        cache = std::move(m_cache);
    }
    if (readBefore && !(cache && cache->databasePath == path))
        cache = std::move(readBefore);
    const bool stillHolds = cache && cache->databasePath == path
        && cache->generation == pass.generationBefore() && !pass.changedStoredEvents();
    if (stillHolds) {
        for (const UsageEvent &event : pass.addedEvents())
            cache->events.add(event);
    }
    if (!stillHolds || !cache->events.covers(now)) {
        // A second reading is needed only when the weekly window begins before the usual
        // cutoff (a window longer than the daily series).
        double cutoff = TokenUsageAggregator::defaultCutoff(m_timeZone, now);
        for (int attempt = 0; attempt < 2; ++attempt) {
            TokenUsageAggregator events = readAllEvents(*db, path, m_timeZone, now, cutoff);
            cutoff = events.windowsStart(now);
            cache = std::make_unique<Cache>(Cache{path, {}, std::move(events)});
            if (cache->events.covers(now))
                break;
        }
    }
    cache->generation = pass.generationAfter();
    cache->events.advance(now);
    TokenUsageSnapshot snapshot = cache->events.snapshot(threads, pending, now);
    {
        const std::lock_guard lock(m_cacheLock);
        m_cache = std::move(cache);
    }
    giveBackState();
    return snapshot;
}

std::optional<TokenUsageSnapshot> TokenUsageStore::reaggregate(const QList<CodexThread> &threads,
                                                               qint64 pendingRolloutCount,
                                                               Timestamp now) const
{
    const std::lock_guard lock(m_cacheLock);
    if (!m_cache || !m_cache->events.covers(now))
        return std::nullopt;
    m_cache->events.advance(now);
    return m_cache->events.snapshot(threads, pendingRolloutCount, now);
}

} // namespace tolvaran
