#pragma once

#include "platform/file_events/FileSystemEvent.h"
#include "platform/file_events/FileSystemEventBatch.h"
#include "platform/file_events/FileSystemWatchTable.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace tolvaran {
class FileSystemEventMonitorTesting;
}

namespace tolvaran::Internal {

struct FileSystemWatchSettings
{
    QStringList roots; // standardised, unique
    std::optional<quint64> since; // a stored id to continue after; none: from now on
    std::chrono::milliseconds latency{0};
    int watchLimit = 0; // at most this many watches, below the process-wide budget
};

// One start of a FileSystemEventMonitor: an inotify instance and the thread that owns it. The
// thread adds a watch to every folder of each root's tree (not descending into dependency and
// build folders, nor into a ".git" folder other than its "refs"), keeps the watches in step as
// folders are created, moved and removed, turns inotify's events into FileSystemEvents and
// hands them to `delivery` in batches. Destroying the session ends the thread and releases
// every watch.
//
// Roots are watched as the caller names them, and so is the way to them: a root that does not
// exist yet, or is removed or moved (itself or a folder above it), is reported with
// FileSystemEventFlag::rootChanged, and a root that appears is watched from then on, its
// contents reported as created.
//
// inotify watches are a per-user resource shared with every other program, so the session
// stays within a process-wide budget below the user's limit; a tree that cannot be watched
// whole is reported with mustScanSubDirs | userDropped and logged, never silently left out.
class FileSystemWatchSession final
{
public:
    using Delivery = std::function<void(QList<FileSystemEvent>)>;

    FileSystemWatchSession(FileSystemWatchSettings settings, Delivery delivery);
    ~FileSystemWatchSession();
    FileSystemWatchSession(const FileSystemWatchSession &) = delete;
    FileSystemWatchSession &operator=(const FileSystemWatchSession &) = delete;

    // Makes the inotify instance and starts the thread; false (with errorMessage()) when the
    // system gives no inotify instance.
    bool start();
    QString errorMessage() const { return m_errorMessage; }

    // The number of watches in use by every session of the process, and the budget they share.
    static int watchesInUse();
    static int watchBudget();

private:
    friend class tolvaran::FileSystemEventMonitorTesting;

    // Handles, on the session's thread, a queue overflow as if the kernel had reported one
    // (for tests).
    void injectQueueOverflow();

    enum class WalkResult { complete, budgetExhausted, missing };
    // What a walk reports as created: nothing, everything below its top, or only what is in
    // folders it finds unwatched (with those folders themselves).
    enum class WalkReport { nothing, everything, unwatchedFolders };
    struct Root
    {
        QString path;
        bool present = false;
    };
    struct PendingMove
    {
        quint32 cookie = 0;
        QString path;
    };

    void run();
    bool stopRequested() const { return m_stopping.load(std::memory_order_relaxed); }

    // Watches
    WalkResult watchTree(const QString &top, bool topIsRoot, WalkReport report,
                         QSet<int> *visited);
    void watchNewFolder(const QString &path);
    void synchronize(bool reportAppearingRoots);
    QStringList synchronizeOnce(bool reportAppearingRoots);
    QStringList rootShape() const;
    void noteBudgetExhausted(const QString &path);

    // Events
    void readEvents();
    void handleEvent(int descriptor, quint32 mask, quint32 cookie, const QString &name);
    bool handleRootsAffectedBy(const QString &path);
    bool missingRootAtOrBelow(const QString &path) const;
    void finishPendingMove();
    void handleOverflow(quint32 reason);
    void deliverPending();

    const FileSystemWatchSettings m_settings;
    const Delivery m_delivery;
    QString m_errorMessage;
    int m_inotify = -1;
    int m_wakeup = -1; // an eventfd that interrupts the thread's wait
    std::atomic<bool> m_stopping = false;
    std::atomic<bool> m_overflowInjected = false;
    std::thread m_thread;

    // Owned by the session's thread once it runs.
    std::vector<Root> m_roots;
    FileSystemWatchTable m_watches;
    bool m_budgetWarningLogged = false;
    std::optional<PendingMove> m_pendingMove;

    FileSystemEventBatch m_batch;
};

} // namespace tolvaran::Internal
