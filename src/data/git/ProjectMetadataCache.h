#pragma once

#include "data/git/ProjectMetadataCacheSnapshot.h"
#include "platform/ApplicationSupport.h"

#include <QHash>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace tolvaran {

class SerialQueue;

// Keeps, across launches, what is slow to compute per project folder: the last git status,
// the last team state, the last repository event handled and whether the first index of all
// repositories has finished. The snapshot in memory is the truth during a run; the file
// "project-metadata-v1.json" in the application-support folder only seeds the next run. One
// cache is shared by the coordinator and the team service; any thread may call it.
//
// Every change schedules a write 0.5 s later on the cache's own serial queue, pushing back any
// write still waiting, so a burst of changes costs one write after its last change. The file
// is replaced atomically (0600, the folder created 0700). No failure reaches the callers: a
// missing or bad file loads as the empty snapshot (and stays on disk untouched until the next
// write), and a failed write leaves the old file and is retried with the next change. A write
// still waiting when the cache is destroyed is dropped.
class ProjectMetadataCache final
{
public:
    static constexpr std::chrono::milliseconds writeDelay{500};
    // The largest file loaded (a few kilobytes per project); a larger one loads as empty.
    static constexpr qint64 maximumFileBytes = 64 * 1024 * 1024;
    static constexpr const char *fileName = "project-metadata-v1.json";
    static constexpr const char *queueLabel = "com.ostvik.tolvaran.metadata-cache";

    // Loads the file in `applicationSupportDirectory`; with an empty folder there is no file
    // and nothing is ever written. Creates no folder, writes nothing and starts no thread.
    explicit ProjectMetadataCache(
        const QString &applicationSupportDirectory = defaultApplicationSupportDirectory());
    ~ProjectMetadataCache();
    ProjectMetadataCache(const ProjectMetadataCache &) = delete;
    ProjectMetadataCache &operator=(const ProjectMetadataCache &) = delete;

    // The cache file's path; empty when there is none.
    const QString &filePath() const { return m_filePath; }

    ProjectMetadataCacheSnapshot currentSnapshot() const;
    QHash<QString, ProjectGitStatus> gitStatuses() const;
    QHash<QString, LocalTeamProjectState> teamStates() const;

    // Stores `status` under `path`; no status removes the path's entry.
    void setGitStatus(const std::optional<ProjectGitStatus> &status, const QString &path);
    // Replaces the stored id, whether larger or smaller.
    void setLastRepositoryEventID(quint64 eventID);
    void markInitialIndexCompleted();
    // Replaces the whole map of team states.
    void setTeamStates(const QHash<QString, LocalTeamProjectState> &states);

private:
    void scheduleWrite();
    void writeWhenDue(); // on the queue
    void writeNow();     // on the queue

    const QString m_directory;
    const QString m_filePath;

    mutable std::mutex m_snapshotMutex;
    ProjectMetadataCacheSnapshot m_snapshot;

    // The debounce: while a write is pending, `m_writeDue` holds when it runs; each change
    // moves it later. The queue's job sleeps until it is due or the cache closes.
    std::mutex m_writeMutex;
    std::condition_variable m_writeWake;
    std::optional<std::chrono::steady_clock::time_point> m_writeDue;
    bool m_closing = false;
    std::unique_ptr<SerialQueue> m_queue; // made on the first change
};

} // namespace tolvaran
