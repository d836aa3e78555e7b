#pragma once

#include "data/codex/CodexThread.h"
#include "data/catalog/ProjectCardSnapshot.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace tolvaran {

// One project folder and its threads, with every figure derived from them computed once, at
// construction. `path` is the project's identity.
class CodexProject final
{
public:
    CodexProject() = default;
    CodexProject(QString path, QList<CodexThread> threads, bool isPinned,
                 const QSet<QString> &unreadThreadIDs, const QSet<QString> &processingThreadIDs,
                 std::optional<QString> codexProjectID = std::nullopt,
                 const std::optional<QString> &customName = std::nullopt,
                 std::optional<Timestamp> lastUpdatedOverride = std::nullopt);

    const QString &id() const { return m_path; }
    const QString &path() const { return m_path; }
    const std::optional<QString> &codexProjectID() const { return m_codexProjectID; }
    const QList<CodexThread> &threads() const { return m_threads; }
    bool isPinned() const { return m_isPinned; }
    const QSet<QString> &unreadThreadIDs() const { return m_unreadThreadIDs; }
    const QSet<QString> &processingThreadIDs() const { return m_processingThreadIDs; }
    const QString &name() const { return m_name; }
    Timestamp lastUpdated() const { return m_lastUpdated; }
    qint64 threadCount() const { return m_threadCount; }
    qint64 totalTokens() const { return m_totalTokens; }
    const std::optional<CodexThread> &latestThread() const { return m_latestThread; }
    const std::optional<QString> &latestUnreadThreadID() const { return m_latestUnreadThreadID; }
    const std::optional<QString> &latestProcessingThreadID() const
    {
        return m_latestProcessingThreadID;
    }
    qint64 notificationCount() const { return m_notificationCount; }
    qint64 processingCount() const { return m_processingCount; }
    const QStringList &branches() const { return m_branches; }
    const std::optional<QString> &displayBranch() const { return m_displayBranch; }

    ProjectCardSnapshot cardSnapshot() const;

    friend bool operator==(const CodexProject &, const CodexProject &) = default;

private:
    QString m_path;
    std::optional<QString> m_codexProjectID;
    QList<CodexThread> m_threads;
    bool m_isPinned = false;
    QSet<QString> m_unreadThreadIDs;
    QSet<QString> m_processingThreadIDs;
    QString m_name;
    Timestamp m_lastUpdated = Timestamp::distantPast();
    qint64 m_threadCount = 0;
    qint64 m_totalTokens = 0;
    std::optional<CodexThread> m_latestThread;
    std::optional<QString> m_latestUnreadThreadID;
    std::optional<QString> m_latestProcessingThreadID;
    qint64 m_notificationCount = 0;
    qint64 m_processingCount = 0;
    QStringList m_branches;
    std::optional<QString> m_displayBranch;
};

} // namespace tolvaran
