#include "data/token_usage/TokenUsageStore.h"

#include "data/token_usage/TokenIndexPass.h"
#include "data/token_usage/TokenUsageAggregator.h"
#include "data/token_usage/TokenUsageError.h"
#include "platform/storage/SqliteDatabase.h"
#include "platform/storage/SqliteStatement.h"
#include "work/ForEachSideBySide.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace tolvaran {

namespace {

using Internal::guardedIndexWork;
using Internal::TokenIndexPass;
using Internal::TokenUsageAggregator;
using Internal::UsageEvent;
using Internal::tokenIndexReadEventsSql;

// Each refresh opens its own connection and uses it from one thread at a time only, so
// SQLite's per-call locking (full mutex) would only slow the reading of millions of rows.
constexpr int openFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;

constexpr auto readFailed = TokenUsageError::Kind::databaseReadFailed;

QString sql(const char *text)
{
    return QString::fromUtf8(text);
}

// Adds the rows of `query` (the columns of tokenIndexReadEventsSql) to `events`.
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
    return guardedIndexWork(readFailed, [&] {
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
            SqliteStatement query(db, sql(tokenIndexReadEventsSql));
            addRows(query, events);
            return events;
        }
        const qint64 partRows = lastRow / parts + 1;
        const QString partSql =
            sql(tokenIndexReadEventsSql) + QStringLiteral(" WHERE rowid >= ? AND rowid < ?");
        const auto readPart = [&](SqliteDatabase &connection, int part,
                                  TokenUsageAggregator &into) {
            SqliteStatement query(connection, partSql);
            query.bind(1, part * partRows);
            query.bind(2, part + 1 == parts ? std::numeric_limits<qint64>::max()
                                            : (part + 1) * partRows);
            addRows(query, into);
        };
        // The first part goes over this connection, which nothing else uses meanwhile, on
        // whichever thread takes it; the others each open their own.
        std::vector<std::optional<TokenUsageAggregator>> later(size_t(parts - 1));
        std::vector<std::exception_ptr> failures(static_cast<size_t>(parts));
        forEachSideBySide(size_t(parts), size_t(parts), [&](size_t part) {
            try {
                if (part == 0) {
                    readPart(db, 0, events);
                    return;
                }
                SqliteDatabase connection(path, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX);
                connection.setBusyTimeout(TokenUsageStore::busyTimeoutMilliseconds);
                auto &into = later[part - 1].emplace(timeZone, now, cutoff);
                readPart(connection, int(part), into);
            } catch (...) {
                failures[part] = std::current_exception();
            }
        });
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

TokenUsageStore::TokenUsageStore(QString applicationSupportDirectory, QTimeZone timeZone,
                                 TokenIndexAccess access)
    : m_directory(std::move(applicationSupportDirectory))
    , m_timeZone(std::move(timeZone))
    , m_access(std::move(access))
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
            throw TokenUsageError(TokenUsageError::Kind::folderCreationFailed);
        preparePrivateDatabaseFile(path);
        guardedIndexWork(TokenUsageError::Kind::databaseOpenFailed, [&] {
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
    Internal::RolloutChanges changes;
    {
        RolloutChangeLog::Changes noted = m_rolloutChanges.take();
        const auto clock = m_access.monotonicNow();
        changes.all = !noted.watched || noted.missed
            || clock - state->lastFullCheck >= rolloutFullCheckInterval;
        if (changes.all)
            state->lastFullCheck = clock;
        else
            changes.paths = std::move(noted.paths);
    }
    TokenIndexPass pass(*db, *state, m_access, m_newRolloutsPerRefresh, std::move(changes),
                   stopToken);
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
    TokenUsageSnapshot snapshot =
        cache->events.snapshot(threads, pending, now, state->threadsVersion);
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
