#pragma once

#include "platform/file_events/FileSystemEvent.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <vector>

namespace tolvaran::Internal {

// The events a FileSystemWatchSession has seen and not yet delivered. Each path is in it once:
// a path that changes again moves to the end with the union of its flags and a new id, so a
// batch stays in id order. Beyond maximumPendingEvents distinct paths the batch is replaced by
// one must-rescan event per root, and nothing more is kept until it is taken. Used on the
// session's thread only.
class FileSystemEventBatch final
{
public:
    // Distinct paths that may wait for one delivery (a rescan is cheaper than a batch that
    // large).
    static constexpr size_t maximumPendingEvents = 100'000;

    FileSystemEventBatch(QStringList roots, std::chrono::milliseconds latency);

    // Lets the ids of every session continue above `since`; false when `since` lies beyond
    // the range of ids.
    static bool continueEventIdsAfter(quint64 since);

    void add(const QString &path, quint32 flags);
    void addForEveryRoot(quint32 flags);

    // When the events should go out: at once for the first change after a quiet period, else
    // once the latency has passed since the last delivery. None while nothing waits.
    const std::optional<std::chrono::steady_clock::time_point> &deadline() const
    {
        return m_deadline;
    }

    // The waiting events in id order, leaving the batch empty and counting from now as the
    // last delivery.
    QList<FileSystemEvent> take();

private:
    void compact();

    const QStringList m_roots;
    const std::chrono::milliseconds m_latency;
    std::vector<FileSystemEvent> m_pending; // in id order; merged-away entries have no flags
    QHash<QString, size_t> m_pendingIndex;
    size_t m_liveCount = 0;
    bool m_droppingUntilTaken = false;
    std::optional<std::chrono::steady_clock::time_point> m_deadline;
    std::chrono::steady_clock::time_point m_lastDelivery;
};

} // namespace tolvaran::Internal
