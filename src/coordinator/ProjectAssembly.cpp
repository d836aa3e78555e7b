#include "coordinator/ProjectAssembly.h"

#include "coordinator/CoordinatorLogging.h"
#include "data/CodexActivityStore.h"
#include "data/CodexGlobalStateStore.h"
#include "data/CodexStore.h"
#include "data/ProjectCatalogStore.h"
#include "platform/Error.h"
#include "platform/Paths.h"
#include "platform/Timestamp.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <exception>
#include <iterator>

namespace tolvaran {

namespace {

QString messageOf(const std::exception &error)
{
    if (const auto *own = dynamic_cast<const Error *>(&error))
        return own->message();
    return QString::fromUtf8(error.what());
}

} // namespace

ProjectAssembly::FullRefresh ProjectAssembly::readFullRefresh(
    const CodexStore &store, const CodexGlobalStateStore &globalStateStore,
    ProjectCatalogStore &catalog, bool includeArchived, double activeWindowSeconds)
{
    ProjectAssembly::FullRefresh result;
    try {
        // One read serves both lists: the threads the projects are built from, and
        // every thread (archived ones too) for the token-usage index.
        QList<CodexThread> allThreads = store.loadThreads(true);
        QList<CodexThread> visible;
        if (includeArchived) {
            visible = allThreads;
        } else {
            std::copy_if(allThreads.cbegin(), allThreads.cend(),
                         std::back_inserter(visible),
                         [](const CodexThread &thread) { return !thread.archived; });
        }
        CodexGlobalStateSnapshot snapshot = globalStateStore.loadSnapshot();
        try {
            // Codex's database names the projects the command-line tool keeps; the global
            // state, which the desktop application writes, wins.
            store.loadProjectRecords().fillGapsOf(snapshot);
        } catch (const std::exception &error) {
            qCWarning(lcCoordinator) << "Codex's project names could not be read:"
                                     << messageOf(error);
        }

        const Timestamp now = Timestamp::now();
        const Timestamp activeSince = now.addingSeconds(-activeWindowSeconds);
        QList<CodexThread> recent;
        std::copy_if(visible.cbegin(), visible.cend(), std::back_inserter(recent),
                     [activeSince](const CodexThread &thread) {
                         return thread.updatedAt >= activeSince;
                     });
        const QSet<QString> processing =
            store.activityStore().processingThreadIDs(recent);

        QList<CodexProject> projects = projectsFromThreads(visible, snapshot, processing);
        try {
            catalog.synchronize(projects, now);
            const QList<CodexProject> saved = catalog.loadProjects(includeArchived);
            QSet<QString> codexPaths;
            for (const CodexProject &project : projects)
                codexPaths.insert(project.path());
            for (const CodexProject &project : saved) {
                if (!codexPaths.contains(project.path()))
                    projects.append(project);
            }
            sortByLastUpdated(projects);
        } catch (const std::exception &error) {
            // Codex's projects alone are shown; the catalog catches up next time.
            result.catalogMessage = messageOf(error);
        }
        result.projects = std::move(projects);
        result.allThreads = std::move(allThreads);
    } catch (const std::exception &error) {
        result.error = messageOf(error);
    }
    return result;
}

// Latest activity first. Stable: projects with equal times keep their order, so Codex's
// projects stay ahead of the catalog's own that follow them.
void ProjectAssembly::sortByLastUpdated(QList<CodexProject> &projects)
{
    std::stable_sort(projects.begin(), projects.end(),
                     [](const CodexProject &a, const CodexProject &b) {
                         return a.lastUpdated() > b.lastUpdated();
                     });
}

// Codex's threads as projects, one per folder. Folders are grouped by their standard form, so
// threads started in "/a/b" and in "/a/b/" make one project rather than two with one identity;
// groups come in the order of their first thread.
QList<CodexProject> ProjectAssembly::projectsFromThreads(
    const QList<CodexThread> &threads, const CodexGlobalStateSnapshot &snapshot,
    const QSet<QString> &processingThreadIDs)
{
    QStringList order;
    QHash<QString, QList<CodexThread>> groups;
    for (const CodexThread &thread : threads) {
        const QString path = standardizedPath(thread.cwd);
        auto group = groups.find(path);
        if (group == groups.end()) {
            order.append(path);
            group = groups.insert(path, {});
        }
        group->append(thread);
    }

    QList<CodexProject> projects;
    projects.reserve(order.size());
    for (const QString &path : order) {
        QList<CodexThread> group = groups.take(path);
        std::optional<QString> projectID;
        for (const CodexThread &thread : group) {
            if (thread.projectID) {
                projectID = thread.projectID;
                break;
            }
        }
        if (!projectID) {
            const QStringList ids = snapshot.projectIDsByPath.value(path);
            if (!ids.isEmpty())
                projectID = ids.first();
        }
        std::optional<QString> customName;
        if (projectID) {
            const auto name = snapshot.projectNamesByID.constFind(*projectID);
            if (name != snapshot.projectNamesByID.constEnd())
                customName = *name;
        }
        std::stable_sort(group.begin(), group.end(),
                         [](const CodexThread &a, const CodexThread &b) {
                             return a.updatedAt > b.updatedAt;
                         });
        const bool isPinned = snapshot.pinnedProjectPaths.contains(path);
        projects.append(CodexProject(path, std::move(group), isPinned, snapshot.unreadThreadIDs,
                                     processingThreadIDs, projectID, customName));
    }
    sortByLastUpdated(projects);
    return projects;
}

LocalTeamProjectSource ProjectAssembly::teamProjectSource(const CodexProject &project,
                                                          CodexActivityStore &activityStore)
{
    LocalTeamProjectSource source;
    source.path = project.path();
    for (const CodexThread &thread : project.threads()) {
        if (thread.gitOriginURL) {
            source.gitOriginURL = thread.gitOriginURL;
            break;
        }
    }
    // The processing thread: the one with the latest recency among the processing ones.
    const std::optional<QString> &processingID = project.latestProcessingThreadID();
    source.isCodexProcessing = processingID.has_value();
    source.canDiscoverGitOrigin = !project.branches().isEmpty() || source.isCodexProcessing;
    if (processingID) {
        for (const CodexThread &thread : project.threads()) {
            if (thread.id == *processingID) {
                source.latestUserRequest = activityStore.latestUserRequest(thread.rolloutPath);
                break;
            }
        }
    }
    source.recencyAt = project.lastUpdated();
    return source;
}

} // namespace tolvaran
