#include "data/TokenUsageStore.h"

#include "data/DataLogging.h"
#include "data/RolloutTokenScanner.h"
#include "data/TokenCountLineParser.h"
#include "data/TokenUsageAggregator.h"
#include "data/TokenUsageError.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"

#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <exception>
#include <limits>
#include <optional>
#include <thread>
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

// One refresh's work on an open database.
class IndexPass final
{
public:
    IndexPass(SqliteDatabase &db, std::stop_token stopToken)
        : m_db(db)
        , m_stopToken(std::move(stopToken))
    {
    }

    void createSchema();
    // Returns the number of rollouts still waiting to be indexed.
    qint64 indexRollouts(const QList<CodexThread> &threads);

    // The index's generation before and after this refresh's changes.
    const IndexGeneration &generationBefore() const { return m_generationBefore; }
    const IndexGeneration &generationAfter() const { return m_generationAfter; }
    // The events this refresh added, in the order stored; and whether it also changed or
    // removed stored ones (then only a whole new reading tells the index's content).
    const std::vector<UsageEvent> &addedEvents() const { return m_added; }
    bool changedStoredEvents() const { return m_changedStored; }

private:
    IndexGeneration readGeneration();
    void countGeneration();
    bool hasColumn(const QString &table, const QString &column);
    void readScanState();
    void readSkipState();
    void resolveMovedRollouts(const std::vector<const CodexThread *> &candidates);
    std::optional<EventIdentity> storedIdentity(const QString &rolloutPath);
    void updateEventIdentity(const CodexThread &thread);
    void indexRollout(const CodexThread &thread);
    void deleteEvents(const QString &rolloutPath);
    void insertEvent(const CodexThread &thread, const UsageEvent &event, qint64 offset);
    void writeScanState(const QString &rolloutPath, qint64 offset, qint64 size);
    void rememberSkipped(const QString &rolloutPath, const FileState &state);
    void forgetSkipped(const QString &rolloutPath);
    SqliteStatement &statement(std::optional<SqliteStatement> &slot, const char *text);

    SqliteDatabase &m_db;
    const std::stop_token m_stopToken;
    QHash<QString, qint64> m_scanOffsets; // rollouts indexed before, by path
    QHash<QString, FileState> m_skipped;
    RolloutTokenScanner m_scanner;
    std::optional<SqliteStatement> m_identityQuery;
    std::optional<SqliteStatement> m_insertEvent;
    std::optional<SqliteStatement> m_writeScanState;
    IndexGeneration m_generationBefore;
    IndexGeneration m_generationAfter;
    std::vector<UsageEvent> m_added;
    bool m_changedStored = false;
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

void IndexPass::readScanState()
{
    guarded(readFailed, [&] {
        SqliteStatement query(m_db,
                              QStringLiteral("SELECT rollout_path, scan_offset "
                                             "FROM rollout_scan_state"));
        while (query.step())
            m_scanOffsets.insert(query.text(0), std::max<qint64>(query.int64(1), 0));
    });
}

void IndexPass::readSkipState()
{
    guarded(readFailed, [&] {
        SqliteStatement query(m_db,
                              QStringLiteral("SELECT rollout_path, file_size, modified_at_ns "
                                             "FROM rollout_skip_state"));
        while (query.step())
            m_skipped.insert(query.text(0), FileState{query.int64(1), query.int64(2)});
    });
}

std::optional<EventIdentity> IndexPass::storedIdentity(const QString &rolloutPath)
{
    // Every refresh gives all events of a rollout the same identity, so one row tells it.
    return guarded(readFailed, [&]() -> std::optional<EventIdentity> {
        SqliteStatement &query = statement(
            m_identityQuery, "SELECT thread_id, project_path, model FROM usage_events "
                             "WHERE rollout_path = ? LIMIT 1");
        query.bind(1, rolloutPath);
        if (!query.step())
            return std::nullopt;
        return EventIdentity{query.text(0), query.text(1), query.optionalText(2)};
    });
}

// Codex moves a rollout into "archived_sessions" when its thread is archived (and back when it
// is restored) and records the new path. The events indexed under the old path move with it,
// scan offset included, so the thread's usage is neither counted twice nor read again.
void IndexPass::resolveMovedRollouts(const std::vector<const CodexThread *> &candidates)
{
    QSet<QString> referenced;
    QHash<QString, const CodexThread *> threadsByID;
    for (const CodexThread *thread : candidates) {
        referenced.insert(thread->rolloutPath);
        threadsByID.insert(thread->id, thread);
    }
    const QStringList indexedPaths = m_scanOffsets.keys();
    for (const QString &oldPath : indexedPaths) {
        if (referenced.contains(oldPath))
            continue;
        const std::optional<EventIdentity> identity = storedIdentity(oldPath);
        const CodexThread *thread = identity ? threadsByID.value(identity->threadID) : nullptr;
        if (!thread)
            continue; // a deleted thread's usage stays counted
        const QString &newPath = thread->rolloutPath;
        if (m_scanOffsets.contains(newPath)) {
            // Both were indexed (by a version that did not follow moves): the new path holds
            // the same lines, so the old rows are duplicates.
            deleteEvents(oldPath);
            m_scanOffsets.remove(oldPath);
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
        forgetSkipped(newPath);
        m_scanOffsets.insert(newPath, m_scanOffsets.take(oldPath));
    }
}

void IndexPass::updateEventIdentity(const CodexThread &thread)
{
    const EventIdentity wanted{thread.id, thread.cwd, thread.model};
    const std::optional<EventIdentity> stored = storedIdentity(thread.rolloutPath);
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
    m_changedStored = true;
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
}

void IndexPass::insertEvent(const CodexThread &thread, const UsageEvent &event, qint64 offset)
{
    guarded(writeFailed, [&] {
        SqliteStatement &insert = statement(m_insertEvent, insertEventSql);
        insert.bind(1, thread.rolloutPath);
        insert.bind(2, offset);
        insert.bind(3, thread.id);
        insert.bind(4, thread.cwd);
        insert.bind(5, event.date.seconds);
        insert.bind(6, event.input);
        insert.bind(7, event.cachedInput);
        insert.bind(8, event.output);
        insert.bind(9, event.total);
        insert.bind(10, thread.model);
        if (event.weeklyUsedPercent)
            insert.bind(11, *event.weeklyUsedPercent);
        if (event.weeklyWindowMinutes)
            insert.bind(12, *event.weeklyWindowMinutes);
        if (event.weeklyResetsAt)
            insert.bind(13, event.weeklyResetsAt->seconds);
        insert.bind(14, event.planType);
        const qint64 lastRowBefore = m_db.lastInsertRowId();
        insert.run();
        // An insert gives a new row id; the conflict clause updates a stored row instead.
        if (m_db.lastInsertRowId() != lastRowBefore)
            m_added.push_back(event);
        else
            m_changedStored = true;
    });
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
    m_scanOffsets.insert(rolloutPath, offset);
}

void IndexPass::rememberSkipped(const QString &rolloutPath, const FileState &state)
{
    if (m_skipped.value(rolloutPath, FileState{-2, 0}) == state)
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
    m_skipped.insert(rolloutPath, state);
}

void IndexPass::forgetSkipped(const QString &rolloutPath)
{
    if (!m_skipped.remove(rolloutPath))
        return;
    guarded(writeFailed, [&] {
        SqliteStatement remove(m_db, QStringLiteral("DELETE FROM rollout_skip_state "
                                                    "WHERE rollout_path = ?"));
        remove.bind(1, rolloutPath);
        remove.run();
    });
}

void IndexPass::indexRollout(const CodexThread &thread)
{
    const QString &path = thread.rolloutPath;
    const auto indexed = m_scanOffsets.constFind(path);
    bool wasIndexed = indexed != m_scanOffsets.cend();
    qint64 offset = wasIndexed ? *indexed : 0;

    const FileState state = fileState(path);
    if (state.size < 0) {
        // Gone: what was indexed stays counted; one never indexed waits until it appears.
        if (!wasIndexed)
            rememberSkipped(path, state);
        return;
    }
    if (state.size < offset) {
        // Shrunk below what was read: truncated or replaced. Start again from its first byte.
        deleteEvents(path);
        m_scanOffsets.remove(path);
        wasIndexed = false;
        offset = 0;
    }
    if (offset >= state.size) {
        if (!wasIndexed)
            rememberSkipped(path, state);
        return;
    }

    // A savepoint per rollout: a file that fails while being read loses only its own rows
    // of this refresh, never the rest of the batch.
    guarded(writeFailed, [&] { m_db.execute(QStringLiteral("SAVEPOINT rollout")); });
    const size_t addedBefore = m_added.size();
    const std::optional<qint64> consumed =
        m_scanner.scan(path, offset, state.size, [&](qint64 lineOffset, QByteArrayView line) {
            if (const auto event = TokenCountLineParser::parseEvent(line, thread.cwd,
                                                                    thread.model))
                insertEvent(thread, *event, lineOffset);
        }, m_stopToken);
    if (!consumed) {
        guarded(writeFailed, [&] {
            m_db.execute(QStringLiteral("ROLLBACK TO rollout; RELEASE rollout"));
        });
        m_added.resize(addedBefore);
        // Stopped, not unreadable: the next pass reads it again.
        if (m_stopToken.stop_requested())
            return;
        qCWarning(lcData, "Token usage index: could not read %s",
                  qUtf8Printable(path));
        if (!wasIndexed)
            rememberSkipped(path, state);
        return;
    }
    guarded(writeFailed, [&] { m_db.execute(QStringLiteral("RELEASE rollout")); });

    if (*consumed > offset) {
        writeScanState(path, *consumed, state.size);
        forgetSkipped(path);
    } else if (!wasIndexed) {
        rememberSkipped(path, state); // no complete line yet
    }
}

qint64 IndexPass::indexRollouts(const QList<CodexThread> &threads)
{
    readScanState();
    readSkipState();

    // One thread per rollout path (the first listed), in the given order.
    std::vector<const CodexThread *> candidates;
    candidates.reserve(size_t(threads.size()));
    QSet<QString> seenPaths;
    for (const CodexThread &thread : threads) {
        if (thread.rolloutPath.isEmpty() || seenPaths.contains(thread.rolloutPath))
            continue;
        seenPaths.insert(thread.rolloutPath);
        candidates.push_back(&thread);
    }

    SqliteTransaction transaction =
        guarded(writeFailed, [&] { return SqliteTransaction(m_db); });
    m_generationBefore = readGeneration();
    m_generationAfter = m_generationBefore;
    resolveMovedRollouts(candidates);

    // Rollouts never indexed, except those that had nothing to index and have not changed.
    std::vector<const CodexThread *> waiting;
    for (const CodexThread *thread : candidates) {
        const QString &path = thread->rolloutPath;
        if (m_scanOffsets.contains(path))
            continue;
        const auto skipped = m_skipped.constFind(path);
        if (skipped != m_skipped.cend() && *skipped == fileState(path))
            continue;
        waiting.push_back(thread);
    }
    std::stable_sort(waiting.begin(), waiting.end(),
                     [](const CodexThread *a, const CodexThread *b) {
                         return a->updatedAt > b->updatedAt;
                     });
    const size_t chosenCount =
        std::min(waiting.size(), size_t(TokenUsageStore::maximumNewRolloutsPerRefresh));
    QSet<QString> chosen;
    for (size_t i = 0; i < chosenCount; ++i)
        chosen.insert(waiting[i]->rolloutPath);

    for (const CodexThread *thread : candidates) {
        if (m_stopToken.stop_requested())
            break;
        if (m_scanOffsets.contains(thread->rolloutPath)) {
            updateEventIdentity(*thread);
            indexRollout(*thread);
        } else if (chosen.contains(thread->rolloutPath)) {
            indexRollout(*thread);
        }
    }
    if (!m_added.empty() || m_changedStored) {
        countGeneration();
        ++m_generationAfter.generation;
    }
    guarded(writeFailed, [&] { transaction.commit(); });
    return qint64(waiting.size() - chosenCount);
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
    if (!ensureApplicationSupportDirectory(m_directory))
        throw TokenUsageError(TokenUsageError::Case::folderCreationFailed);
    const QString path = databasePath();
    preparePrivateDatabaseFile(path);
    std::optional<SqliteDatabase> db;
    guarded(TokenUsageError::Case::databaseOpenFailed, [&] { db.emplace(path, openFlags); });
    db->setBusyTimeout(busyTimeoutMilliseconds);

    IndexPass pass(*db, stopToken);
    pass.createSchema();
    const qint64 pending = pass.indexRollouts(threads);
    // Stopped: what was indexed is kept; nobody waits for the snapshot.
    if (stopToken.stop_requested())
        return TokenUsageSnapshot::empty();

    std::unique_ptr<Cache> cache;
    {
        const std::lock_guard lock(m_cacheLock);
        cache = std::move(m_cache);
    }
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
