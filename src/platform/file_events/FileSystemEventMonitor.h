#pragma once

#include "platform/file_events/FileSystemEvent.h"
#include "work/SerialQueue.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>

namespace tolvaran {

namespace Internal {
class FileSystemWatchSession;
}

class FileSystemEventMonitorTesting;

// Watches a set of folders, each with everything below it, and hands every batch of changes to
// a handler. Built over inotify: each folder of a watched tree gets a watch of its own, added
// on the monitor's thread as folders appear; dependency and build folders are not descended
// into (see FileSystemWatchSession). Changes are collected for `latency` seconds and
// delivered as one batch, except that the first change after a quiet `latency` is delivered at
// once.
//
// The handler runs on the monitor's own serial queue (labelled as the caller asks), one batch
// at a time and in order, never on the caller's thread: a handler that touches GUI state must
// post to the GUI thread itself. A batch is never empty.
class FileSystemEventMonitor final
{
public:
    using Handler = std::function<void(const QList<FileSystemEvent> &)>;

    // `since` value for "changes from now on": nothing is replayed.
    static constexpr quint64 sinceNow = std::numeric_limits<quint64>::max();

    // Creates the queue; nothing is watched until start().
    FileSystemEventMonitor(QString label, Handler handler);
    // Stops watching. Must not be called from the monitor's own handler.
    ~FileSystemEventMonitor();
    FileSystemEventMonitor(const FileSystemEventMonitor &) = delete;
    FileSystemEventMonitor &operator=(const FileSystemEventMonitor &) = delete;

    const QString &label() const { return m_queue.label(); }

    // (Re)starts watching `paths` (empty strings and duplicates dropped); with no path left it
    // stops. Returns at once: the previous watch is replaced on the monitor's queue, and the
    // new one's folders are watched from its thread. A `since` other than sinceNow is an id
    // the caller stored: changes made while nothing watched cannot be replayed, so the monitor
    // reports one event per root with FileSystemEventFlag::mustScanSubDirs once its folders are
    // watched, and its ids continue above `since`.
    void start(const QStringList &paths, quint64 since, double latency);
    // Stops watching and returns once the watch is gone; no batch is delivered after it. From
    // inside the handler it works at once (it does not wait for the queue it runs on).
    void stop();

private:
    // Tests make the kernel's event queue of the current watch overflow, and cap the watches
    // of the next start below the process budget, through it.
    friend class FileSystemEventMonitorTesting;

    void startOnQueue(const QStringList &paths, quint64 since, double latency);
    void stopOnQueue();
    void deliver(quint64 generation, const QList<FileSystemEvent> &batch);

    const Handler m_handler;
    std::atomic<bool> m_closing = false;
    std::atomic<int> m_watchLimit = std::numeric_limits<int>::max();
    // Guards m_session and m_generation; stopping and releasing a session happen outside it.
    std::mutex m_mutex;
    std::unique_ptr<Internal::FileSystemWatchSession> m_session;
    // Changes with every start and stop, so batches of a replaced watch that still wait on
    // the queue are dropped.
    quint64 m_generation = 0;
    // Last: destroyed first, so no queued job outlives the members it uses.
    SerialQueue m_queue;
};

} // namespace tolvaran
