#include "data/catalog/CodexProject.h"

#include "platform/Paths.h"
#include "platform/SaturatingAdd.h"

#include <algorithm>

namespace tolvaran {

namespace {

// The id of the thread with the latest recency among those whose id is in `ids`; on a tie the
// thread that comes first in the list wins.
std::optional<QString> latestRecentThread(const QList<CodexThread> &threads,
                                          const QSet<QString> &ids)
{
    const CodexThread *best = nullptr;
    for (const CodexThread &thread : threads) {
        if (ids.contains(thread.id) && (!best || thread.recencyAt > best->recencyAt))
            best = &thread;
    }
    return best ? std::optional<QString>(best->id) : std::nullopt;
}

} // namespace

CodexProject::CodexProject(QString path, QList<CodexThread> threads, bool isPinned,
                           const QSet<QString> &unreadThreadIDs,
                           const QSet<QString> &processingThreadIDs,
                           std::optional<QString> codexProjectID,
                           const std::optional<QString> &customName,
                           std::optional<Timestamp> lastUpdatedOverride)
    : m_path(std::move(path))
    , m_codexProjectID(std::move(codexProjectID))
    , m_threads(std::move(threads))
    , m_isPinned(isPinned)
{
    // The given sets are the whole history's (and often empty): each thread is looked up in
    // them, rather than a set of every thread made to intersect them with. The threads are
    // walked read-only: a refresh hands over the list of the project shown, which a writable
    // walk would copy.
    for (const CodexThread &thread : std::as_const(m_threads)) {
        if (!unreadThreadIDs.isEmpty() && unreadThreadIDs.contains(thread.id))
            m_unreadThreadIDs.insert(thread.id);
        if (!processingThreadIDs.isEmpty() && processingThreadIDs.contains(thread.id))
            m_processingThreadIDs.insert(thread.id);
    }

    const QString trimmedName = customName ? customName->trimmed() : QString();
    if (!trimmedName.isEmpty()) {
        m_name = trimmedName;
    } else {
        m_name = lastPathComponent(m_path);
        if (m_name.isEmpty())
            m_name = m_path;
    }

    Timestamp latestRecency = Timestamp::distantPast();
    for (const CodexThread &thread : std::as_const(m_threads))
        latestRecency = std::max(latestRecency, thread.recencyAt);
    const Timestamp override = lastUpdatedOverride.value_or(Timestamp::distantPast());
    m_lastUpdated = latestRecency >= override ? latestRecency : override;

    m_threadCount = m_threads.size();
    for (const CodexThread &thread : std::as_const(m_threads))
        m_totalTokens = saturatingAdd(m_totalTokens, thread.tokensUsed);

    const CodexThread *latest = nullptr;
    for (const CodexThread &thread : std::as_const(m_threads)) {
        if (!latest || thread.updatedAt > latest->updatedAt)
            latest = &thread;
    }
    if (latest)
        m_latestThread = *latest;

    m_latestUnreadThreadID = latestRecentThread(m_threads, m_unreadThreadIDs);
    m_latestProcessingThreadID = latestRecentThread(m_threads, m_processingThreadIDs);
    m_notificationCount = m_unreadThreadIDs.size();
    m_processingCount = m_processingThreadIDs.size();

    QSet<QString> distinctBranches;
    for (const CodexThread &thread : std::as_const(m_threads)) {
        if (thread.gitBranch && !thread.gitBranch->isEmpty())
            distinctBranches.insert(*thread.gitBranch);
    }
    m_branches = QStringList(distinctBranches.cbegin(), distinctBranches.cend());
    // Plain code-unit order, case-sensitive.
    std::sort(m_branches.begin(), m_branches.end());
    if (m_branches.size() == 1)
        m_displayBranch = m_branches.first();
    else if (m_branches.size() > 1)
        m_displayBranch = QString::number(m_branches.size()) + QStringLiteral(" branches");
}

ProjectCardSnapshot CodexProject::cardSnapshot() const
{
    ProjectCardSnapshot snapshot;
    snapshot.id = m_path;
    snapshot.path = m_path;
    snapshot.name = m_name;
    snapshot.lastUpdated = m_lastUpdated;
    snapshot.threadCount = m_threadCount;
    snapshot.isPinned = m_isPinned;
    snapshot.notificationCount = m_notificationCount;
    snapshot.displayBranch = m_displayBranch;
    snapshot.latestThreadID = m_latestThread ? std::optional<QString>(m_latestThread->id)
                                             : std::nullopt;
    snapshot.latestUnreadThreadID = m_latestUnreadThreadID;
    snapshot.unreadThreadIDs = m_unreadThreadIDs;
    snapshot.latestProcessingThreadID = m_latestProcessingThreadID;
    snapshot.processingCount = m_processingCount;
    return snapshot;
}

} // namespace tolvaran
