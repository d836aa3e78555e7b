#include "data/codex/CodexActivityStore.h"

#include "data/codex/CodexActivityNotifier.h"
#include "data/codex/CodexFileAttributes.h"
#include "work/ForEachSideBySide.h"
#include "platform/Graphemes.h"
#include "platform/storage/RegularFileRead.h"
#include "platform/Timestamp.h"

#include <QByteArrayList>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <array>
#include <limits>
#include <utility>
#include <vector>

namespace tolvaran {

namespace {

std::mutex managedLock;
QSet<QString> managedThreadIDs; // guarded by managedLock

// Codex writes some user-role messages itself: the environment context at the start of a
// thread, the standing instructions, and the notice it leaves after the user interrupts a
// turn. None of them is a request the user typed.
constexpr std::array codexOwnMessageTags = {
    QLatin1String("<environment_context>"),
    QLatin1String("<turn_aborted>"),
    QLatin1String("<user_instructions>"),
};

const QLatin1String requestMarker("## My request:");

enum class ScanOutcome { decided, exhausted, failed };

// Reads the lines of the region [begin, end) of a file from the last to the first, one chunk
// at a time, so that only the end of a large file is read. `begin` must be the start of a
// line. What follows the region's last line feed counts as a line too: a line Codex has
// written completely but not yet ended still decides, and one it is half-way through fails to
// parse and is passed over. A line longer than `lineLimit` is passed over without being
// gathered, so memory stays bounded whatever the file holds.
class BackwardLineScanner final
{
public:
    BackwardLineScanner(QFile &file, quint64 begin, quint64 end, quint64 byteLimit,
                        quint64 lineLimit)
        : m_file(file)
        , m_begin(begin)
        , m_end(end)
        , m_byteLimit(byteLimit)
        , m_lineLimit(lineLimit)
    {
    }

    // Calls `visit` with each line, last first, until it returns true (decided), the region's
    // start is passed or `byteLimit` bytes have been read (exhausted; a line cut by the limit
    // is not visited), or a read fails (failed).
    template <typename Visit>
    ScanOutcome scan(Visit &&visit)
    {
        // Chunks of a line that began in an earlier chunk, first chunk first. Kept apart and
        // joined once the line is complete, so a line of many megabytes is copied once.
        QByteArrayList pending;
        quint64 pendingBytes = 0;
        bool oversized = false; // the line being gathered is longer than the line limit
        const auto gather = [&](QByteArray part) {
            pendingBytes += quint64(part.size());
            if (oversized || pendingBytes > m_lineLimit) {
                oversized = true;
                pending.clear();
                return;
            }
            pending.prepend(std::move(part));
        };
        const auto takeLine = [&]() -> std::optional<QByteArray> {
            std::optional<QByteArray> line;
            if (!oversized)
                line = pending.join();
            pending.clear();
            pendingBytes = 0;
            oversized = false;
            return line;
        };
        quint64 position = m_end;
        quint64 bytesRead = 0;
        while (position > m_begin) {
            const quint64 size = std::min({CodexActivityStore::chunkSize, position - m_begin,
                                           m_byteLimit - bytesRead});
            if (size == 0)
                return ScanOutcome::exhausted;
            const quint64 chunkStart = position - size;
            if (!m_file.seek(qint64(chunkStart)))
                return ScanOutcome::failed;
            const QByteArray chunk = m_file.read(qint64(size));
            if (quint64(chunk.size()) != size)
                return ScanOutcome::failed;
            bytesRead += size;

            qsizetype lineEnd = chunk.size();
            for (qsizetype feed = chunk.lastIndexOf('\n'); feed != -1;
                 feed = feed > 0 ? chunk.lastIndexOf('\n', feed - 1) : -1) {
                if (!m_foundLineFeed) {
                    m_foundLineFeed = true;
                    m_lastLineFeedEnd = chunkStart + quint64(feed) + 1;
                }
                gather(chunk.mid(feed + 1, lineEnd - feed - 1));
                if (const std::optional<QByteArray> line = takeLine(); line && visit(*line))
                    return ScanOutcome::decided;
                lineEnd = feed;
            }
            gather(chunk.left(lineEnd));
            position = chunkStart;
        }
        const std::optional<QByteArray> first = takeLine();
        return first && visit(*first) ? ScanOutcome::decided : ScanOutcome::exhausted;
    }

    // The offset just after the region's last line feed (`begin` when it holds none): where
    // the next incremental read starts, so that an unfinished last line is read again.
    quint64 lastLineFeedEnd() const { return m_lastLineFeedEnd; }

private:
    QFile &m_file;
    const quint64 m_begin;
    const quint64 m_end;
    const quint64 m_byteLimit;
    const quint64 m_lineLimit;
    bool m_foundLineFeed = false;
    quint64 m_lastLineFeedEnd = m_begin;
};

std::optional<QJsonObject> payloadOfType(const QByteArray &line, QLatin1String type)
{
    const QJsonDocument document = QJsonDocument::fromJson(line);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    if (object.value(QLatin1String("type")).toString() != type)
        return std::nullopt;
    const QJsonValue payload = object.value(QLatin1String("payload"));
    if (!payload.isObject())
        return std::nullopt;
    return payload.toObject();
}

// True for a task start, false for a task end, nothing for any other line.
std::optional<bool> taskEventState(const QByteArray &line)
{
    // Most lines are not events, and some are tens of megabytes long: look for the type's
    // text before paying for a parse. Codex writes compact JSON, never escaping ASCII.
    if (line.isEmpty() || !line.contains("\"event_msg\""))
        return std::nullopt;
    const std::optional<QJsonObject> payload = payloadOfType(line, QLatin1String("event_msg"));
    if (!payload)
        return std::nullopt;
    const QString type = payload->value(QLatin1String("type")).toString();
    if (type == QLatin1String("task_started"))
        return true;
    if (type == QLatin1String("task_complete") || type == QLatin1String("turn_aborted")
        || type == QLatin1String("task_failed") || type == QLatin1String("task_cancelled"))
        return false;
    return std::nullopt;
}

bool isCodexOwnText(const QString &text)
{
    const QStringView start = QStringView(text).trimmed();
    return std::any_of(codexOwnMessageTags.begin(), codexOwnMessageTags.end(),
                       [start](QLatin1String tag) { return start.startsWith(tag); });
}

// The part of a message the user typed: what follows the last "## My request:" marker when
// there is one (Codex's project prompts put context above it), trimmed.
QString visibleUserText(const QString &text)
{
    const qsizetype marker = text.lastIndexOf(requestMarker);
    if (marker == -1)
        return text.trimmed();
    return text.mid(marker + requestMarker.size()).trimmed();
}

std::optional<QString> userRequest(const QByteArray &line)
{
    // Most lines of a rollout are response items too (reasoning, tool calls and their
    // output): only one that names the user's role is parsed.
    if (line.isEmpty() || !line.contains("\"response_item\"") || !line.contains("\"user\""))
        return std::nullopt;
    const std::optional<QJsonObject> payload = payloadOfType(line, QLatin1String("response_item"));
    if (!payload || payload->value(QLatin1String("type")).toString() != QLatin1String("message")
        || payload->value(QLatin1String("role")).toString() != QLatin1String("user"))
        return std::nullopt;
    const QJsonValue content = payload->value(QLatin1String("content"));
    if (!content.isArray())
        return std::nullopt;

    QStringList texts;
    for (const QJsonValue &item : content.toArray()) {
        const QJsonObject object = item.toObject();
        const QJsonValue text = object.value(QLatin1String("text"));
        if (object.value(QLatin1String("type")).toString() != QLatin1String("input_text")
            || !text.isString() || isCodexOwnText(text.toString()))
            continue;
        texts.append(text.toString());
    }
    // simplified() trims and turns every run of white space, line feeds included, into one
    // space: the request is shown on one line.
    const QString request = visibleUserText(texts.join(QLatin1Char(' '))).simplified();
    if (request.isEmpty())
        return std::nullopt;
    return graphemePrefix(request, CodexActivityStore::maximumUserRequestLength);
}

// Runs `work` for 0 … count - 1 on up to CodexActivityStore::maximumReaderThreads threads,
// the calling one among them; a few items are done on the calling thread alone.
template <typename Work>
void forEachSideBySide(qsizetype count, const Work &work)
{
    constexpr qsizetype itemsPerThread = 64;
    const qsizetype threads =
        std::min<qsizetype>(CodexActivityStore::maximumReaderThreads, count / itemsPerThread + 1);
    tolvaran::forEachSideBySide(size_t(std::max<qsizetype>(count, 0)), size_t(threads),
                                [&work](size_t i) { work(qsizetype(i)); });
}

} // namespace

CodexActivityStore::CodexActivityStore(CodexTurnLiveness liveness)
    : m_liveness(std::move(liveness))
{
}

QSet<QString> CodexActivityStore::processingThreadIDs(const QList<CodexThread> &threads)
{
    const std::lock_guard guard(m_lock);
    const QSet<QString> managed = managedProcessingThreadIDs();
    QSet<QString> result;
    for (const CodexThread &thread : threads) {
        if (managed.contains(thread.id))
            result.insert(thread.id);
    }
    QList<CodexTurnLiveness::Turn> started;
    for (const CodexThread &thread : threads) {
        if (isProcessing(thread.rolloutPath) && !result.contains(thread.id))
            started.append({thread.id, thread.rolloutPath});
    }
    // Asked on every call and never cached: a process dies without touching any file.
    const QHash<QString, CodexTurnLiveness::Verdict> verdicts = m_liveness.verdicts(started);
    for (const CodexTurnLiveness::Turn &turn : started) {
        if (verdicts.value(turn.threadID) != CodexTurnLiveness::Verdict::dead)
            result.insert(turn.threadID);
    }
    return result;
}

bool CodexActivityStore::isProcessing(const QString &rolloutPath)
{
    if (rolloutPath.isEmpty())
        return false;
    const std::optional<Internal::CodexFileAttributes> attributes =
        Internal::codexFileAttributes(rolloutPath);
    if (!attributes) {
        m_cache.remove(rolloutPath);
        return false;
    }
    const quint64 size = attributes->size;
    const double age = Timestamp::now().seconds - attributes->modificationDate().seconds;
    if (age > initialLookback) {
        // Whatever the file says, Codex is not working on a thread it has not written to for
        // a day. Should it write again, the read starts at today's end of the file.
        m_cache.insert(rolloutPath, CachedActivity{size, size, false});
        return false;
    }

    QFile file;
    if (!openRegularFile(file, rolloutPath))
        return false;

    const auto cached = m_cache.constFind(rolloutPath);
    const bool incremental = cached != m_cache.constEnd() && size >= cached->scanOffset;
    // Nothing was appended since the last read, which went to the end of the file (an
    // unfinished last line included): the answer stands.
    if (incremental && size == cached->fileSize)
        return cached->isProcessing;

    // A file seen before is read from where the last read stopped; a new file, or one that
    // shrank (rewritten), from its end backwards until a task event decides, reading at most
    // maximumProcessingScanBytes.
    const quint64 begin = incremental ? cached->scanOffset : 0;
    const bool previous = incremental && cached->isProcessing;
    BackwardLineScanner scanner(file, begin, size, maximumProcessingScanBytes,
                                maximumTaskEventLineBytes);
    std::optional<bool> decision;
    const ScanOutcome outcome = scanner.scan([&decision](const QByteArray &line) {
        decision = taskEventState(line);
        return decision.has_value();
    });
    if (outcome == ScanOutcome::failed) {
        m_cache.remove(rolloutPath);
        return false;
    }
    const bool answer = decision.value_or(previous);
    m_cache.insert(rolloutPath, CachedActivity{scanner.lastLineFeedEnd(), size, answer});
    return answer;
}

std::optional<QString> CodexActivityStore::latestUserRequest(const QString &rolloutPath)
{
    return latestUserRequests({rolloutPath}).constFirst();
}

QList<std::optional<QString>>
CodexActivityStore::latestUserRequests(const QStringList &rolloutPaths)
{
    const std::lock_guard guard(m_lock);
    const RolloutChangeLog::Changes changes = m_rolloutChanges.take();
    const bool checkAll = !changes.watched;
    const auto clock = std::chrono::steady_clock::now();
    if (changes.missed || clock - m_roundStartedAt >= rolloutFullCheckInterval) {
        ++m_checkRound;
        m_roundStartedAt = clock;
    }
    for (const QString &path : changes.paths) {
        if (const auto cached = m_userRequestCache.find(path); cached != m_userRequestCache.end())
            cached->checkedRound = 0;
    }

    const qsizetype count = rolloutPaths.size();
    QList<std::optional<QString>> requests(count);
    // Only the files the monitor named, those not looked at in this round and those never
    // read are looked at; the others keep their answer without a system call.
    QList<qsizetype> due;
    for (qsizetype i = 0; i < count; ++i) {
        const QString &path = rolloutPaths[i];
        if (path.isEmpty())
            continue;
        const auto cached = m_userRequestCache.find(path);
        if (!checkAll && cached != m_userRequestCache.end()
            && cached->checkedRound == m_checkRound)
            requests[i] = cached->request;
        else
            due.append(i);
    }
    std::vector<std::optional<Internal::CodexFileAttributes>> attributes;
    attributes.resize(size_t(count));
    forEachSideBySide(due.size(), [&](qsizetype k) {
        const qsizetype i = due[k];
        attributes[size_t(i)] = Internal::codexFileAttributes(rolloutPaths[i]);
    });

    QList<qsizetype> unread;
    for (const qsizetype i : std::as_const(due)) {
        const QString &path = rolloutPaths[i];
        if (!attributes[size_t(i)]) {
            if (m_userRequestCache.remove(path)) {
                m_readUserRequests.remove(path);
                m_removedUserRequests.insert(path);
            }
            continue;
        }
        const auto cached = m_userRequestCache.find(path);
        if (cached != m_userRequestCache.end() && cached->file == *attributes[size_t(i)]) {
            requests[i] = cached->request;
            cached->checkedRound = m_checkRound;
        } else {
            unread.append(i);
        }
    }

    // Only the tails of rollouts new or changed since they were read are read, side by side.
    std::vector<char> failed(size_t(count), 0);
    forEachSideBySide(unread.size(), [&](qsizetype k) {
        const qsizetype i = unread[k];
        QFile file;
        if (!openRegularFile(file, rolloutPaths[i])) {
            failed[size_t(i)] = 1;
            return;
        }
        std::optional<QString> request;
        BackwardLineScanner scanner(file, 0, attributes[size_t(i)]->size,
                                    maximumUserRequestLookback, maximumUserRequestLookback);
        const ScanOutcome outcome = scanner.scan([&request](const QByteArray &line) {
            request = userRequest(line);
            return request.has_value();
        });
        failed[size_t(i)] = outcome == ScanOutcome::failed ? 1 : 0;
        requests[i] = failed[size_t(i)] ? std::nullopt : request;
    });
    for (const qsizetype i : std::as_const(unread)) {
        if (failed[size_t(i)])
            continue;
        const QString &path = rolloutPaths[i];
        m_userRequestCache.insert(
            path, CachedUserRequest{*attributes[size_t(i)], requests[i], m_checkRound});
        m_readUserRequests.insert(path);
        m_removedUserRequests.remove(path);
    }
    return requests;
}

void CodexActivityStore::seedUserRequests(const QList<RolloutRequestRecord> &records)
{
    const std::lock_guard guard(m_lock);
    m_userRequestsSeeded = true;
    for (const RolloutRequestRecord &record : records) {
        if (record.rolloutPath.isEmpty() || m_userRequestCache.contains(record.rolloutPath))
            continue;
        m_userRequestCache.insert(
            record.rolloutPath,
            CachedUserRequest{{record.fileSize, record.modificationNanoseconds},
                              record.request});
    }
}

CodexActivityStore::UserRequestChanges CodexActivityStore::takeUserRequestChanges()
{
    const std::lock_guard guard(m_lock);
    UserRequestChanges changes;
    for (const QString &path : std::as_const(m_readUserRequests)) {
        const auto cached = m_userRequestCache.constFind(path);
        if (cached != m_userRequestCache.constEnd())
            changes.read.append({path, cached->file.size, cached->file.modificationNanoseconds,
                                 cached->request});
    }
    changes.removed = QStringList(m_removedUserRequests.cbegin(), m_removedUserRequests.cend());
    m_readUserRequests.clear();
    m_removedUserRequests.clear();
    return changes;
}

QSet<QString> CodexActivityStore::managedProcessingThreadIDs()
{
    const std::lock_guard guard(managedLock);
    return managedThreadIDs;
}

void CodexActivityStore::setManagedProcessing(const QString &threadID, bool processing)
{
    bool changed = false;
    {
        const std::lock_guard guard(managedLock);
        const qsizetype before = managedThreadIDs.size();
        if (processing)
            managedThreadIDs.insert(threadID);
        else
            managedThreadIDs.remove(threadID);
        changed = managedThreadIDs.size() != before;
    }
    // Emitted outside the lock: a directly connected receiver may read the set at once.
    if (changed)
        Q_EMIT CodexActivityNotifier::instance()->codexAppManagedProcessingChanged();
}

} // namespace tolvaran
