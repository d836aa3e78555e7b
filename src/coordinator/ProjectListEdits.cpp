#include "coordinator/ProjectListEdits.h"

namespace tolvaran::ProjectListEdits {

CodexProject rebuilt(const CodexProject &project, bool isPinned,
                     const QSet<QString> &unreadThreadIDs)
{
    return CodexProject(project.path(), project.threads(), isPinned, unreadThreadIDs,
                        project.processingThreadIDs(), project.codexProjectID(), project.name(),
                        project.lastUpdated());
}

QList<CodexProject> withPin(const QList<CodexProject> &projects, const QString &path,
                            bool pinned)
{
    QList<CodexProject> result = projects;
    for (CodexProject &project : result) {
        if (project.path() == path && project.isPinned() != pinned)
            project = rebuilt(project, pinned, project.unreadThreadIDs());
    }
    return result;
}

QList<CodexProject> withPinnedPaths(const QList<CodexProject> &projects,
                                    const QSet<QString> &pinnedPaths)
{
    QList<CodexProject> result = projects;
    for (CodexProject &project : result) {
        const bool pinned = pinnedPaths.contains(project.path());
        if (project.isPinned() != pinned)
            project = rebuilt(project, pinned, project.unreadThreadIDs());
    }
    return result;
}

QList<CodexProject> withThreadRead(const QList<CodexProject> &projects, const QString &path,
                                   const QString &threadID)
{
    QList<CodexProject> result = projects;
    for (CodexProject &project : result) {
        if (project.path() == path && project.unreadThreadIDs().contains(threadID)) {
            QSet<QString> unread = project.unreadThreadIDs();
            unread.remove(threadID);
            project = rebuilt(project, project.isPinned(), unread);
        }
    }
    return result;
}

} // namespace tolvaran::ProjectListEdits
