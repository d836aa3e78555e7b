#pragma once

#include "data/codex/CodexFileAttributes.h"
#include "data/codex/CodexThread.h"
#include "data/codex/CodexTurnLiveness.h"
#include "data/codex/RolloutChangeLog.h"
#include "data/codex/RolloutRequestRecord.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>

namespace tolvaran {

// Answers two questions from Codex's rollout files (JSON lines, one file per thread): is Codex
// working on a thread right now (its last task event is a start), and what did the user last
// ask in it. Rollout files reach gigabytes, so both answers come from reading the end of the
// file backwards in chunks, and the processing answer is then kept current by reading only the
// bytes appended since the previous call. Nothing is ever reported as an error: a file that is
// missing, unreadable or malformed makes its thread idle and its request absent.
//
// Safe to call from any thread; one lock, held for a whole call, guards both caches.
class CodexActivityStore final
{
public:
    // A rollout file last modified longer ago than this is idle without being opened.
    static constexpr double initialLookback = 86400.0; // seconds
    // The unit of every backward read.
    static constexpr quint64 chunkSize = 65536;
    // The most one processing check reads of a file (from its end, or from the last read's
    // end); a check that finds no task event in them keeps the previous answer.
    static constexpr quint64 maximumProcessingScanBytes = 64 * 1024 * 1024;
    // A longer line cannot be a task event and is passed over without being kept in memory.
    static constexpr quint64 maximumTaskEventLineBytes = 8 * 1024 * 1024;
    // How far back from the end the search for the latest request reads at most.
    static constexpr quint64 maximumUserRequestLookback = 2097152;
    static constexpr int maximumReaderThreads = 6;
    // The latest request is cut to this many characters (grapheme clusters).
    static constexpr qsizetype maximumUserRequestLength = 4000;

    // `liveness` tells a running turn from one whose Codex process died; the default checks
    // nothing, and the rollout file alone decides.
    explicit CodexActivityStore(CodexTurnLiveness liveness = {});
    CodexActivityStore(const CodexActivityStore &) = delete;
    CodexActivityStore &operator=(const CodexActivityStore &) = delete;

    // The ids of the given threads that are processing: those whose rollout file's last task
    // event is "task_started", unless the turn is known to be dead (no Codex process has the
    // file open or holds the thread's writer lock), and those in the managed set below.
    QSet<QString> processingThreadIDs(const QList<CodexThread> &threads);

    // The latest request the user typed in the thread whose rollout file is `rolloutPath`,
    // on one line, or nothing. Messages that Codex writes in the user's name (the environment
    // context it adds to a thread, the notice it leaves after an interrupt) are passed over.
    // A file is read again only when its size or modification time changed since it was read.
    std::optional<QString> latestUserRequest(const QString &rolloutPath);
    // The same for many rollouts at once, in their order: the files are looked at, and those
    // that changed read, on up to `maximumReaderThreads` threads.
    QList<std::optional<QString>> latestUserRequests(const QStringList &rolloutPaths);

    // What a file monitor saw of the rollout files. While changes are watched, the latest
    // requests look at only the rollouts named since they were last looked at (and at all of
    // them once every `rolloutFullCheckInterval`, and after changes were missed), rather than
    // at every rollout; a rollout not read yet is looked at whatever the monitor says. The
    // processing check never relies on this: a turn dies without a file changing.
    static constexpr std::chrono::seconds rolloutFullCheckInterval{60};
    void setRolloutChangesWatched(bool watched) { m_rolloutChanges.setWatched(watched); }
    void noteRolloutChanges(const QStringList &paths) { m_rolloutChanges.note(paths); }
    void noteRolloutChangesMissed() { m_rolloutChanges.noteMissed(); }

    // Requests read in an earlier run (kept in the catalog): a rollout not read in this run
    // yet whose size and modification time still match is not read again.
    void seedUserRequests(const QList<RolloutRequestRecord> &records);
    bool hasSeededUserRequests() const { return m_userRequestsSeeded; }
    // What the latest-request cache learnt since the last call, for the catalog to keep:
    // requests read anew, and rollouts found missing.
    struct UserRequestChanges
    {
        QList<RolloutRequestRecord> read;
        QStringList removed;
        bool isEmpty() const { return read.isEmpty() && removed.isEmpty(); }
    };
    UserRequestChanges takeUserRequestChanges();

    // The process-wide set of threads that a component of this program drives in Codex and
    // knows to be working on, whatever their rollout files say. No such component exists yet,
    // so the set stays empty; the coordinator still reads it and listens for its changes on
    // CodexActivityNotifier.
    static QSet<QString> managedProcessingThreadIDs();
    // Adds or removes one id and, when that changed the set, emits
    // CodexActivityNotifier::codexAppManagedProcessingChanged().
    static void setManagedProcessing(const QString &threadID, bool processing);

private:
    struct CachedActivity
    {
        quint64 scanOffset = 0; // the file has been read as complete lines up to here
        quint64 fileSize = 0;   // the size at the last read
        bool isProcessing = false;
    };
    struct CachedUserRequest
    {
        Internal::CodexFileAttributes file;
        std::optional<QString> request;
        // The check round in which the file was last looked at (0: never in this run).
        quint64 checkedRound = 0;
    };

    bool isProcessing(const QString &rolloutPath); // with m_lock held

    const CodexTurnLiveness m_liveness;
    std::mutex m_lock;
    QHash<QString, CachedActivity> m_cache;
    QHash<QString, CachedUserRequest> m_userRequestCache;
    QSet<QString> m_readUserRequests;    // since takeUserRequestChanges()
    QSet<QString> m_removedUserRequests; // likewise
    std::atomic<bool> m_userRequestsSeeded = false;

    // Apart from `m_lock`, which a first read of every tail holds for long.
    RolloutChangeLog m_rolloutChanges;
    // With `m_lock`: a new round makes every cached request due for a look at its file.
    quint64 m_checkRound = 1;
    std::chrono::steady_clock::time_point m_roundStartedAt;
};

} // namespace tolvaran
