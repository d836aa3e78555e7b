#include "data/token_usage/TokenIndexPass.h"

#include "work/ForEachSideBySide.h"

#include <QHash>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>

namespace tolvaran::Internal {

namespace {

constexpr auto readFailed = TokenUsageError::Kind::databaseReadFailed;
constexpr auto writeFailed = TokenUsageError::Kind::databaseWriteFailed;

QString sql(const char *text)
{
    return QString::fromUtf8(text);
}

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

} // namespace

const char *const tokenIndexReadEventsSql =
    "SELECT project_path, recorded_at, input_tokens, cached_input_tokens, output_tokens, "
    "total_tokens, model, weekly_used_percent, weekly_window_minutes, weekly_resets_at, "
    "plan_type FROM usage_events";

SqliteStatement &TokenIndexPass::statement(std::optional<SqliteStatement> &slot, const char *text)
{
    if (!slot)
        slot.emplace(m_db, sql(text));
    else
        slot->reset();
    return *slot;
}

IndexGeneration TokenIndexPass::readGeneration()
{
    const std::optional<IndexGeneration> stored =
        guardedIndexWork(readFailed, [&]() -> std::optional<IndexGeneration> {
            SqliteStatement query(m_db, QStringLiteral("SELECT instance, generation "
                                                       "FROM index_generation LIMIT 1"));
            if (!query.step())
                return std::nullopt;
            return IndexGeneration{query.int64(0), query.int64(1)};
        });
    if (stored)
        return *stored;
    const IndexGeneration fresh{qint64(QRandomGenerator::system()->generate64() >> 1), 0};
    guardedIndexWork(writeFailed, [&] {
        SqliteStatement insert(m_db, QStringLiteral("INSERT INTO index_generation VALUES "
                                                    "(?, ?)"));
        insert.bind(1, fresh.instance);
        insert.bind(2, fresh.generation);
        insert.run();
    });
    return fresh;
}

void TokenIndexPass::countGeneration()
{
    guardedIndexWork(writeFailed, [&] {
        m_db.execute(QStringLiteral("UPDATE index_generation SET generation = generation + 1"));
    });
}

bool TokenIndexPass::hasColumn(const QString &table, const QString &column)
{
    return guardedIndexWork(readFailed, [&] {
        SqliteStatement info(m_db, QStringLiteral("PRAGMA table_info(") + table
                                       + QLatin1Char(')'));
        while (info.step()) {
            if (info.text(1) == column)
                return true;
        }
        return false;
    });
}

void TokenIndexPass::createSchema()
{
    guardedIndexWork(writeFailed, [&] { m_db.execute(sql(schemaSql)); });
    const auto migrate = [&](const char *migration) {
        guardedIndexWork(writeFailed, [&] {
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

void TokenIndexPass::loadState()
{
    m_state.rollouts.clear();
    m_state.movesResolved = false;
    ++m_state.listVersion; // every record is new: the list names them again
    m_state.candidates.clear();
    m_state.newestFirst.clear();
    m_state.unindexedStale = true;
    m_state.threads.clear();
    guardedIndexWork(readFailed, [&] {
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
                RolloutFileState{skipped.int64(1), skipped.int64(2)};
    });
}

namespace {

// What two thread lists hold alike: the same rollouts, in the same order, for the same
// threads, folders and models, updated at the same times (all a pass reads of a thread); and
// also the same token counts (all a snapshot reads besides).
struct ListLikeness
{
    bool rollouts = false;
    bool counts = false;
};

ListLikeness likeness(const QList<CodexThread> &a, const QList<CodexThread> &b)
{
    if (a.size() != b.size())
        return {};
    ListLikeness alike{true, true};
    for (qsizetype i = 0; i < a.size(); ++i) {
        const CodexThread &x = a[i];
        const CodexThread &y = b[i];
        if (x.updatedAt != y.updatedAt || x.rolloutPath != y.rolloutPath || x.id != y.id
            || x.cwd != y.cwd || x.model != y.model)
            return {};
        alike.counts = alike.counts && x.tokensUsed == y.tokensUsed;
    }
    return alike;
}

// Numbers for what a thread list holds, unique in the process: stores made one after another
// hand their lists' numbers to aggregators that may outlive them.
quint64 nextThreadsVersion()
{
    static std::atomic<quint64> last{0};
    return ++last;
}

} // namespace

void TokenIndexPass::takeThreadList(const QList<CodexThread> &threads)
{
    // The same list given again (a pass with no new refresh of Codex's threads between):
    // its rollouts, their identities and moves are as the last pass left them.
    if (!m_state.threads.isEmpty() && threads.constData() == m_state.threads.constData()
        && threads.size() == m_state.threads.size())
        return;
    const ListLikeness alike = m_state.threads.isEmpty()
        ? ListLikeness{}
        : likeness(threads, m_state.threads);
    if (!alike.rollouts || !alike.counts)
        m_state.threadsVersion = nextThreadsVersion();
    // A list read anew from Codex's database that holds the same (every full refresh while
    // nothing changed): so are they, and only the pointers move to the new list.
    if (alike.rollouts) {
        const CodexThread *const from = m_state.threads.constData();
        const CodexThread *const to = threads.constData();
        for (auto *list : {&m_state.candidates, &m_state.newestFirst, &m_state.unindexed}) {
            for (auto &candidate : *list)
                candidate.first = to + (candidate.first - from);
        }
        for (auto &[thread, record] : m_state.candidates)
            record->thread = thread;
        m_state.threads = threads;
        return;
    }
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
        record.thread = &thread;
        m_state.candidates.emplace_back(&thread, &record);
    }
    m_state.unindexedStale = true;
    m_state.newestFirst = m_state.candidates;
    std::stable_sort(m_state.newestFirst.begin(), m_state.newestFirst.end(),
                     [](const auto &a, const auto &b) {
                         return a.first->updatedAt > b.first->updatedAt;
                     });
}

const std::optional<EventIdentity> &TokenIndexPass::storedIdentity(const QString &path,
                                                              RolloutRecord &record)
{
    if (record.identity)
        return *record.identity;
    // Every refresh gives all events of a rollout the same identity, so one row tells it.
    record.identity = guardedIndexWork(readFailed, [&]() -> std::optional<EventIdentity> {
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
void TokenIndexPass::resolveMovedRollouts()
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
        guardedIndexWork(writeFailed, [&] {
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
        m_state.unindexedStale = true;
        moved.offset = old.offset;
        moved.identity = old.identity;
        moved.seen.reset();
        m_state.rollouts.erase(oldPath);
    }
}

void TokenIndexPass::updateEventIdentity(const CodexThread &thread, RolloutRecord &record)
{
    const EventIdentity wanted{thread.id, thread.cwd, thread.model};
    const std::optional<EventIdentity> &stored = storedIdentity(thread.rolloutPath, record);
    // Rewriting rows that already carry the identity would rewrite the whole table on every
    // refresh; only a thread that changed folder, model or id is relabelled.
    if (!stored || *stored == wanted)
        return;
    guardedIndexWork(writeFailed, [&] {
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

void TokenIndexPass::store(ScanItem &item)
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
        // Indexed again below when it holds a complete line; else it waits with the others.
        m_state.unindexedStale = true;
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

void TokenIndexPass::deleteEvents(const QString &rolloutPath)
{
    guardedIndexWork(writeFailed, [&] {
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
void TokenIndexPass::insertEvents(const CodexThread &thread,
                             const std::vector<std::pair<qint64, UsageEvent>> &events)
{
    if (events.empty())
        return;
    guardedIndexWork(writeFailed, [&] {
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

void TokenIndexPass::writeScanState(const QString &rolloutPath, qint64 offset, qint64 size)
{
    guardedIndexWork(writeFailed, [&] {
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

void TokenIndexPass::rememberSkipped(const QString &rolloutPath, RolloutRecord &record,
                                const RolloutFileState &state)
{
    if (record.skippedAs == state)
        return;
    guardedIndexWork(writeFailed, [&] {
        SqliteStatement write(m_db,
                              QStringLiteral("INSERT OR REPLACE INTO rollout_skip_state "
                                             "VALUES (?, ?, ?)"));
        write.bind(1, rolloutPath);
        write.bind(2, state.size);
        write.bind(3, state.modifiedNanoseconds);
        write.run();
    });
    record.skippedAs = state;
    if (!record.indexed)
        m_state.unindexedSkipped.insert(&record);
    m_wrote = true;
}

void TokenIndexPass::forgetSkipped(const QString &rolloutPath, RolloutRecord &record)
{
    if (!record.skippedAs)
        return;
    guardedIndexWork(writeFailed, [&] {
        SqliteStatement remove(m_db, QStringLiteral("DELETE FROM rollout_skip_state "
                                                    "WHERE rollout_path = ?"));
        remove.bind(1, rolloutPath);
        remove.run();
    });
    record.skippedAs.reset();
    m_state.unindexedSkipped.erase(&record);
    m_wrote = true;
}

qint64 TokenIndexPass::indexRollouts(const QList<CodexThread> &threads)
{
    SqliteTransaction transaction =
        guardedIndexWork(writeFailed, [&] { return SqliteTransaction(m_db); });
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
    if (m_changes.all) {
        for (const auto &[thread, record] : m_state.candidates) {
            if (record->indexed || record->skippedAs)
                watched.emplace_back(thread, record);
        }
    } else {
        // Only the rollouts named, of those the list names.
        for (const QString &path : std::as_const(m_changes.paths)) {
            const auto found = m_state.rollouts.find(path);
            if (found == m_state.rollouts.end())
                continue;
            RolloutRecord &record = found->second;
            if (record.listedIn == m_state.listVersion && (record.indexed || record.skippedAs))
                watched.emplace_back(record.thread, &record);
        }
    }
    std::vector<RolloutFileState> states(watched.size());
    // Two items at least for every thread beside the calling one.
    const size_t statThreads =
        std::min(size_t(TokenUsageStore::maximumScanThreads), watched.size() / 2 + 1);
    forEachSideBySide(watched.size(), statThreads, [&](size_t i) {
        states[i] = m_access.fileState(watched[i].first->rolloutPath);
    });
    for (size_t i = 0; i < watched.size(); ++i) {
        watched[i].second->polled = states[i];
        watched[i].second->polledInPass = m_state.pass;
    }

    std::vector<ScanItem> items;
    for (size_t i = 0; i < watched.size(); ++i) {
        auto [thread, record] = watched[i];
        const RolloutFileState &state = states[i];
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
    if (m_state.unindexedStale) {
        m_state.unindexed.clear();
        m_state.unindexedSkipped.clear();
        for (const auto &candidate : m_state.newestFirst) {
            if (candidate.second->indexed)
                continue;
            m_state.unindexed.push_back(candidate);
            if (candidate.second->skippedAs)
                m_state.unindexedSkipped.insert(candidate.second);
        }
        m_state.unindexedStale = false;
    }
    // Not looked at: unchanged, as far as the monitor knows.
    const auto stillSkipped = [&](const RolloutRecord &record) {
        return record.skippedAs
            && (record.polledInPass != m_state.pass || *record.skippedAs == record.polled);
    };
    // Every rollout not indexed waits, but those skipped that have not changed: the count
    // looks only at the skipped, and the choice only at the first of the others.
    qint64 waitingCount = qint64(m_state.unindexed.size());
    for (const RolloutRecord *record : m_state.unindexedSkipped) {
        if (stillSkipped(*record))
            --waitingCount;
    }
    size_t looked = 0;
    for (; looked < m_state.unindexed.size() && chosen.size() < size_t(m_newRolloutLimit);
         ++looked) {
        const auto [thread, record] = m_state.unindexed[looked];
        if (!stillSkipped(*record))
            chosen.emplace_back(thread, record);
    }
    for (auto [thread, record] : chosen) {
        const RolloutFileState state = m_access.fileState(thread->rolloutPath);
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
    TokenIndexScan(m_access, m_stopToken).run(items, [this](ScanItem &item) { store(item); });
    // Only those chosen can have been indexed.
    m_state.unindexed.erase(std::remove_if(m_state.unindexed.begin(),
                                           m_state.unindexed.begin() + qsizetype(looked),
                                           [](const auto &candidate) {
                                               return candidate.second->indexed;
                                           }),
                            m_state.unindexed.begin() + qsizetype(looked));
    if (m_wrote) {
        countGeneration();
        ++m_generationAfter.generation;
    }
    guardedIndexWork(writeFailed, [&] { transaction.commit(); });
    m_state.generation = m_generationAfter;
    return waitingCount - qint64(chosen.size());
}

} // namespace tolvaran::Internal
