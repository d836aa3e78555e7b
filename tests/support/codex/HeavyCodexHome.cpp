#include "support/codex/HeavyCodexHome.h"

#include "data/codex/CodexStore.h"
#include "support/codex/FakeCodexHome.h"
#include "support/codex/RolloutLines.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

namespace tolvaran::fixtures {

namespace {

constexpr qint64 textPoolBytes = 16ll << 20;
constexpr qint64 smallestRolloutBytes = 6 * 1024;
constexpr qint64 largestOrdinaryRolloutBytes = 1500 * 1024;
constexpr qint64 writeBufferBytes = 8ll << 20;
constexpr qint64 hugeOutputMinimumBytes = 1ll << 20;
constexpr qint64 hugeOutputMaximumBytes = 6ll << 20;
constexpr int hugeOutputEvery = 400; // tool outputs, in the large rollouts
constexpr double historySecondsPerKilobyte = 10.0;
constexpr int newestThreadsHoldingLargeRollouts = 100;

QString markerPath(const QString &folder)
{
    return folder + QStringLiteral("/.heavy-home-complete");
}

QByteArray shapeText(const HeavyCodexShape &shape)
{
    return QByteArrayLiteral("threads=") + QByteArray::number(shape.threadCount)
        + " projects=" + QByteArray::number(shape.projectCount)
        + " bytes=" + QByteArray::number(shape.rolloutBytes)
        + " large=" + QByteArray::number(shape.largeRolloutCount) + "x"
        + QByteArray::number(shape.largeRolloutBytes) + "\n";
}

// Text without quotes or backslashes, so that slices of it can stand in JSON strings.
const QByteArray &textPool()
{
    static const QByteArray pool = [] {
        static const char alphabet[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/ .,:;-_=()[]";
        QRandomGenerator random(20260201);
        QByteArray bytes(textPoolBytes, Qt::Uninitialized);
        for (qint64 i = 0; i < textPoolBytes; ++i)
            bytes[i] = alphabet[random.bounded(int(sizeof alphabet - 1))];
        return bytes;
    }();
    return pool;
}

// Writes the history of one rollout: turns of a request, reasoning, tool calls and their
// outputs, and a token count after each call, ending before `end`.
class HistoryWriter final
{
public:
    HistoryWriter(QFile &file, quint32 seed, bool hugeOutputs)
        : m_file(file)
        , m_random(seed)
        , m_hugeOutputs(hugeOutputs)
    {
    }

    void write(qint64 targetBytes, Timestamp end)
    {
        Timestamp when = end.addingSeconds(-double(targetBytes) / 1024.0
                                           * historySecondsPerKilobyte);
        while (m_flushed + m_buffer.size() < targetBytes) {
            append(rollout::userMessage(when, text(100 + m_random.bounded(1500))));
            append(rollout::taskStarted(when));
            const int calls = 1 + int(m_random.bounded(6));
            for (int call = 0; call < calls; ++call) {
                append(reasoning(when, 300 + m_random.bounded(2500)));
                append(functionCall(when));
                append(toolOutput(when, outputLength()));
                append(usage(when));
                when = when.addingSeconds(5 + m_random.bounded(60));
            }
            append(rollout::assistantMessage(when, text(100 + m_random.bounded(1500))));
            append(rollout::taskComplete(when));
            when = when.addingSeconds(60 + m_random.bounded(600));
            flush(false);
        }
        flush(true);
    }

private:
    void append(const QByteArray &line) { m_buffer += line; }

    void flush(bool always)
    {
        if (m_buffer.isEmpty() || (!always && m_buffer.size() < writeBufferBytes))
            return;
        if (m_file.write(m_buffer) != m_buffer.size())
            throw std::runtime_error("could not write " + m_file.fileName().toStdString());
        m_flushed += m_buffer.size();
        m_buffer.clear();
    }

    qint64 outputLength()
    {
        if (m_hugeOutputs && m_random.bounded(hugeOutputEvery) == 0)
            return hugeOutputMinimumBytes
                + qint64(m_random.bounded(double(hugeOutputMaximumBytes
                                                 - hugeOutputMinimumBytes)));
        return m_random.bounded(10) == 0 ? 4000 + m_random.bounded(40000)
                                         : 100 + m_random.bounded(3000);
    }

    QByteArrayView slice(qint64 length)
    {
        const QByteArray &pool = textPool();
        length = std::min(length, pool.size() - 1);
        const qint64 from = qint64(m_random.bounded(double(pool.size() - length)));
        return QByteArrayView(pool.constData() + from, length);
    }

    QString text(qint64 length) { return QString::fromLatin1(slice(length)); }

    QByteArray reasoning(Timestamp when, qint64 length)
    {
        return rollout::reasoning(when, slice(length));
    }

    QByteArray functionCall(Timestamp when)
    {
        const QByteArrayView command = slice(40 + m_random.bounded(200));
        return rollout::functionCall(when, command, m_random.generate());
    }

    QByteArray toolOutput(Timestamp when, qint64 length)
    {
        const quint32 callID = m_random.generate();
        return rollout::functionCallOutput(when, callID, slice(length));
    }

    QByteArray usage(Timestamp when)
    {
        return rollout::tokenCount(when, rollout::randomTokenCount(m_random, m_total, when));
    }

    QFile &m_file;
    QRandomGenerator m_random;
    bool m_hugeOutputs;
    QByteArray m_buffer;
    qint64 m_flushed = 0;
    rollout::TokenUsage m_total;
};

// Sizes of the rollouts, newest thread first: spread evenly on a logarithmic scale (as a real
// history's are), a few large ones among the newest, scaled so that they add up to the total.
std::vector<qint64> rolloutSizes(const HeavyCodexShape &shape)
{
    QRandomGenerator random(7);
    std::vector<qint64> sizes(size_t(shape.threadCount));
    const double ratio = double(largestOrdinaryRolloutBytes) / double(smallestRolloutBytes);
    double ordinary = 0;
    for (qint64 &size : sizes) {
        size = qint64(double(smallestRolloutBytes) * std::pow(ratio, random.generateDouble()));
        ordinary += double(size);
    }
    const int large = std::min(shape.largeRolloutCount, shape.threadCount);
    const int spread = std::max(1, std::min(newestThreadsHoldingLargeRollouts,
                                            shape.threadCount) / std::max(1, large));
    qint64 largeBytes = 0;
    for (int i = 0; i < large; ++i) {
        ordinary -= double(sizes[size_t(i * spread)]);
        sizes[size_t(i * spread)] = -shape.largeRolloutBytes; // marked as large
        largeBytes += shape.largeRolloutBytes;
    }
    const double scale = std::max(0.0, double(shape.rolloutBytes - largeBytes)) / ordinary;
    for (qint64 &size : sizes)
        size = size < 0 ? -size : qint64(double(size) * scale);
    return sizes;
}

void setModificationTime(const QString &path, Timestamp when)
{
    const qint64 nanoseconds = qint64(when.seconds * 1e9);
    const struct timespec time{nanoseconds / 1000000000, nanoseconds % 1000000000};
    const struct timespec times[2] = {time, time};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

} // namespace

HeavyCodexHome::HeavyCodexHome(const QString &folder, const HeavyCodexShape &shape)
    : m_path(QDir(folder).absolutePath())
{
    QFile marker(markerPath(m_path));
    if (marker.open(QIODevice::ReadOnly) && marker.readAll() == shapeText(shape))
        return;
    marker.close();
    QElapsedTimer timer;
    timer.start();
    generate(shape);
    m_generated = true;
    m_seconds = double(timer.elapsed()) / 1000.0;
}

void HeavyCodexHome::generate(const HeavyCodexShape &shape)
{
    QFile::remove(markerPath(m_path));
    QDir(m_path + QStringLiteral("/sessions")).removeRecursively();
    QDir(m_path + QStringLiteral("/archived_sessions")).removeRecursively();
    QFile::remove(sessionIndexPath());

    FakeCodexHome home(m_path);
    FakeCodexGeneration generation;
    generation.threadCount = shape.threadCount;
    generation.rolloutCount = shape.threadCount;
    generation.projectCount = shape.projectCount;
    home.generate(generation);
    home.writeDatabase();

    const std::vector<qint64> sizes = rolloutSizes(shape);
    const QList<FakeCodexThread> &threads = home.threads();
    std::atomic<qsizetype> next = 0;
    std::mutex failureLock;
    std::exception_ptr failure;
    textPool(); // made once, before the workers share it
    const auto work = [&] {
        try {
            for (qsizetype i = next++; i < threads.size(); i = next++) {
                const FakeCodexThread &thread = threads[i];
                QFile file(thread.rolloutPath);
                if (!file.open(QIODevice::ReadWrite))
                    throw std::runtime_error("cannot open " + thread.rolloutPath.toStdString());
                // The opening (session metadata and environment context) stays first and
                // the generated turns last; the history goes between them.
                const QByteArray generated = file.readAll();
                qsizetype split = generated.indexOf('\n');
                split = generated.indexOf('\n', split + 1) + 1;
                file.resize(0);
                file.seek(0);
                file.write(generated.first(split));
                const bool large = sizes[size_t(i)] >= shape.largeRolloutBytes;
                HistoryWriter(file, quint32(i) + 1, large).write(sizes[size_t(i)],
                                                                 thread.createdAt);
                if (file.write(generated.sliced(split)) != generated.size() - split)
                    throw std::runtime_error("cannot write " + thread.rolloutPath.toStdString());
                file.close();
                setModificationTime(thread.rolloutPath, thread.updatedAt);
            }
        } catch (...) {
            const std::lock_guard lock(failureLock);
            failure = std::current_exception();
            next = threads.size();
        }
    };
    {
        std::vector<std::jthread> workers;
        for (int w = 0; w < std::max(1, shape.workers); ++w)
            workers.emplace_back(work);
    }
    if (failure)
        std::rethrow_exception(failure);

    QFile marker(markerPath(m_path));
    if (!marker.open(QIODevice::WriteOnly) || marker.write(shapeText(shape)) < 0)
        throw std::runtime_error("cannot write the generation marker");
}

QString HeavyCodexHome::databasePath() const
{
    return FakeCodexHome(m_path).databasePath();
}

QString HeavyCodexHome::sessionIndexPath() const
{
    return FakeCodexHome(m_path).sessionIndexPath();
}

QString HeavyCodexHome::globalStatePath() const
{
    return FakeCodexHome(m_path).globalStatePath();
}

QList<CodexThread> HeavyCodexHome::threads() const
{
    QList<CodexThread> threads =
        CodexStore(databasePath(), sessionIndexPath()).loadThreads(true);
    std::stable_sort(threads.begin(), threads.end(),
                     [](const auto &a, const auto &b) { return a.updatedAt > b.updatedAt; });
    return threads;
}

QStringList HeavyCodexHome::rolloutPaths() const
{
    QStringList paths;
    for (const CodexThread &thread : threads())
        paths.append(thread.rolloutPath);
    return paths;
}

qint64 HeavyCodexHome::rolloutBytes() const
{
    qint64 total = 0;
    for (const QString &path : rolloutPaths())
        total += QFileInfo(path).size();
    return total;
}

void HeavyCodexHome::touchThread(const QString &threadID, Timestamp when) const
{
    // Written by the sqlite3 tool, another process as Codex is: SQLite shares one mapping of
    // the -shm file among the connections of a process, so a write from a process whose reader
    // mapped it read-only (as the program's does) fails.
    const qint64 milliseconds = qint64(when.seconds * 1000.0);
    const QString update =
        QStringLiteral("PRAGMA busy_timeout = 5000; UPDATE threads SET updated_at = %1, "
                       "updated_at_ms = %2, recency_at = %1, recency_at_ms = %2 WHERE id = '%3';")
            .arg(milliseconds / 1000)
            .arg(milliseconds)
            .arg(threadID);
    QProcess tool;
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.start(QStringLiteral("sqlite3"), {databasePath(), update});
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit
        || tool.exitCode() != 0)
        throw std::runtime_error("sqlite3 could not update " + threadID.toStdString());
}

void HeavyCodexHome::appendRolloutLine(const QString &rolloutPath, Timestamp when)
{
    QFile file(rolloutPath);
    if (!file.open(QIODevice::Append))
        throw std::runtime_error("cannot append to " + rolloutPath.toStdString());
    file.write(rollout::assistantMessage(when, QStringLiteral("Still working on it.")));
}

} // namespace tolvaran::fixtures
