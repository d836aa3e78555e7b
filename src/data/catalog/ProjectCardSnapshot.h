#pragma once

#include "platform/Timestamp.h"

#include <QSet>
#include <QString>

#include <optional>

namespace tolvaran {

// What one browser card shows of a project. It carries no thread list and no token figure, so
// two projects that differ only in those give equal snapshots.
struct ProjectCardSnapshot
{
    QString id; // the project path
    QString path;
    QString name;
    Timestamp lastUpdated;
    qint64 threadCount = 0;
    bool isPinned = false;
    qint64 notificationCount = 0;
    std::optional<QString> displayBranch;
    std::optional<QString> latestThreadID;
    std::optional<QString> latestUnreadThreadID;
    QSet<QString> unreadThreadIDs;
    std::optional<QString> latestProcessingThreadID;
    qint64 processingCount = 0;

    friend bool operator==(const ProjectCardSnapshot &, const ProjectCardSnapshot &) = default;
};

} // namespace tolvaran
