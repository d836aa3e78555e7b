#include "platform/file_events/FileSystemEventMonitor.h"

#include "platform/file_events/FileSystemWatchSession.h"
#include "platform/Logging.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cmath>

namespace tolvaran {

FileSystemEventMonitor::FileSystemEventMonitor(QString label, Handler handler)
    : m_handler(std::move(handler))
    , m_queue(std::move(label))
{
}

FileSystemEventMonitor::~FileSystemEventMonitor()
{
    // Starts still waiting on the queue are skipped rather than set up and torn down again.
    m_closing = true;
    stop();
}

void FileSystemEventMonitor::start(const QStringList &paths, quint64 since, double latency)
{
    QStringList roots;
    for (const QString &path : paths) {
        if (!path.isEmpty())
            roots.append(standardizedPath(path));
    }
    std::sort(roots.begin(), roots.end());
    roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
    if (roots.isEmpty()) {
        stop();
        return;
    }
    m_queue.async([this, roots, since, latency] {
        if (!m_closing)
            startOnQueue(roots, since, latency);
    });
}

void FileSystemEventMonitor::stop()
{
    if (m_queue.isCurrent())
        stopOnQueue();
    else
        m_queue.sync([this] { stopOnQueue(); });
}

void FileSystemEventMonitor::startOnQueue(const QStringList &paths, quint64 since, double latency)
{
    // The old watch is gone before the new one is made, so the two never count twice against
    // the watch budget.
    stopOnQueue();

    Internal::FileSystemWatchSettings settings;
    settings.roots = paths;
    if (since != sinceNow)
        settings.since = since;
    const double milliseconds = std::isfinite(latency) ? latency * 1000.0 : 0.0;
    settings.latency = std::chrono::milliseconds(std::llround(std::max(0.0, milliseconds)));
    settings.watchLimit = m_watchLimit;

    quint64 generation = 0;
    {
        std::lock_guard lock(m_mutex);
        generation = ++m_generation;
    }
    auto session = std::make_unique<Internal::FileSystemWatchSession>(
        std::move(settings), [this, generation](QList<FileSystemEvent> batch) {
            m_queue.async([this, generation, batch = std::move(batch)] {
                deliver(generation, batch);
            });
        });
    if (!session->start()) {
        qCWarning(lcPlatform) << "File-system monitor" << label()
                              << "could not start watching:" << session->errorMessage();
        return;
    }
    std::lock_guard lock(m_mutex);
    m_session = std::move(session);
}

void FileSystemEventMonitor::stopOnQueue()
{
    std::unique_ptr<Internal::FileSystemWatchSession> session;
    {
        std::lock_guard lock(m_mutex);
        session = std::move(m_session);
        ++m_generation;
    }
    // Destroying the session ends its thread and releases its watches.
    session.reset();
}

void FileSystemEventMonitor::deliver(quint64 generation, const QList<FileSystemEvent> &batch)
{
    {
        std::lock_guard lock(m_mutex);
        if (generation != m_generation)
            return;
    }
    m_handler(batch);
}

} // namespace tolvaran
