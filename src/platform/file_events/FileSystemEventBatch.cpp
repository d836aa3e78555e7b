#include "platform/file_events/FileSystemEventBatch.h"

#include <algorithm>
#include <atomic>

namespace tolvaran::Internal {

namespace {

// Merged-away entries tolerated before the pending list is compacted.
constexpr size_t pendingCompactionSlack = 4096;

// Ids stay below 2^53 so that a store keeping them as JSON numbers keeps them exactly.
constexpr quint64 largestEventId = quint64(1) << 53;

std::atomic<quint64> &lastEventId()
{
    // Seeded with the time in microseconds, so ids also grow across launches for a caller that
    // keeps none of its own.
    static std::atomic<quint64> id = [] {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        return quint64(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
    }();
    return id;
}

quint64 nextEventId()
{
    return lastEventId().fetch_add(1) + 1;
}

} // namespace

FileSystemEventBatch::FileSystemEventBatch(QStringList roots, std::chrono::milliseconds latency)
    : m_roots(std::move(roots))
    , m_latency(latency)
{
}

bool FileSystemEventBatch::continueEventIdsAfter(quint64 since)
{
    if (since >= largestEventId)
        return false;
    quint64 current = lastEventId().load();
    while (current < since && !lastEventId().compare_exchange_weak(current, since)) {
    }
    return true;
}

void FileSystemEventBatch::add(const QString &path, quint32 flags)
{
    if (m_droppingUntilTaken)
        return;
    const auto earlier = m_pendingIndex.constFind(path);
    if (earlier != m_pendingIndex.cend()) {
        FileSystemEvent &previous = m_pending[*earlier];
        flags |= previous.flags;
        previous.flags = 0;
        --m_liveCount;
    }
    m_pending.push_back(FileSystemEvent{path, nextEventId(), flags});
    m_pendingIndex.insert(path, m_pending.size() - 1);
    ++m_liveCount;
    if (!m_deadline)
        m_deadline = std::max(std::chrono::steady_clock::now(), m_lastDelivery + m_latency);

    if (m_liveCount > maximumPendingEvents) {
        m_pending.clear();
        m_pendingIndex.clear();
        m_liveCount = 0;
        addForEveryRoot(FileSystemEventFlag::mustScanSubDirs | FileSystemEventFlag::userDropped);
        m_droppingUntilTaken = true;
    } else if (m_pending.size() > 2 * m_liveCount + pendingCompactionSlack) {
        compact();
    }
}

void FileSystemEventBatch::addForEveryRoot(quint32 flags)
{
    for (const QString &root : m_roots)
        add(root, flags);
}

QList<FileSystemEvent> FileSystemEventBatch::take()
{
    QList<FileSystemEvent> batch;
    batch.reserve(qsizetype(m_liveCount));
    for (FileSystemEvent &event : m_pending) {
        if (event.flags != 0)
            batch.append(std::move(event));
    }
    m_pending.clear();
    m_pendingIndex.clear();
    m_liveCount = 0;
    m_droppingUntilTaken = false;
    m_deadline.reset();
    m_lastDelivery = std::chrono::steady_clock::now();
    return batch;
}

void FileSystemEventBatch::compact()
{
    std::erase_if(m_pending, [](const FileSystemEvent &event) { return event.flags == 0; });
    m_pendingIndex.clear();
    for (size_t index = 0; index < m_pending.size(); ++index)
        m_pendingIndex.insert(m_pending[index].path, index);
}

} // namespace tolvaran::Internal
