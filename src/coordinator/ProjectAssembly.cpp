#include "coordinator/ProjectAssembly.h"

#include "coordinator/CoordinatorLogging.h"
#include "data/codex/CodexActivityStore.h"
#include "data/codex/CodexGlobalStateStore.h"
#include "data/codex/CodexStore.h"
#include "data/catalog/ProjectCatalogStore.h"
#include "platform/Error.h"
#include "platform/Paths.h"
#include "platform/Timestamp.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <exception>
#include <future>
#include <iterator>
#include <vector>

namespace tolvaran {

ProjectAssembly::FullRefresh ProjectAssembly::readFullRefresh(
    const CodexStore &store, const CodexGlobalStateStore &globalStateStore,
    ProjectCatalogStore &catalog, bool includeArchived, double activeWindowSeconds,
    const QList<CodexProject> &previous)
{
    ProjectAssembly::FullRefresh result;
    try {
        // One read serves both lists: the threads the projects are built from, and
        // every thread (archived ones too) for the token-usage index.
        // The latest requests read in earlier runs spare the first refresh reading the tail
        // of every rollout; those read now are kept for the next start.
        // The global state is read beside the threads: neither read needs the other.
        std::future<CodexGlobalStateSnapshot> globalState =
            std::async(std::launch::async, [&globalStateStore] {
                return globalStateStore.loadSnapshot();
            });
        CodexActivityStore &activity = store.activityStore();
        if (!activity.hasSeededUserRequests()) {
            QList<RolloutRequestRecord> kept;
            try {
                kept = catalog.loadLatestRequests();
            } catch (const std::exception &error) {
                qCWarning(lcCoordinator) << "Kept latest requests could not be read:"
                                         << messageOf(error);
            }
            activity.seedUserRequests(kept);
        }
        QList<CodexThread> allThreads = store.loadThreads(true);
        result.catalogUpdate.userRequests = activity.takeUserRequestChanges();
        // Which recent threads are processing is asked side by side with the read of Codex's
        // project names.
        const Timestamp now = Timestamp::now();
        const Timestamp activeSince = now.addingSeconds(-activeWindowSeconds);
        QList<CodexThread> recent;
        std::copy_if(allThreads.cbegin(), allThreads.cend(), std::back_inserter(recent),
                     [activeSince, includeArchived](const CodexThread &thread) {
                         return (includeArchived || !thread.archived)
                             && thread.updatedAt >= activeSince;
                     });
        // The future of std::async waits for the check when it goes, an exception's way out
        // too, so `recent` outlives the check.
        std::future<QSet<QString>> processingCheck =
            std::async(std::launch::async, [&activity, &recent] {
                return activity.processingThreadIDs(recent);
            });
        CodexGlobalStateSnapshot snapshot = globalState.get();
        try {
            // Codex's database names the projects the command-line tool keeps; the global
            // state, which the desktop application writes, wins.
            store.loadProjectRecords().fillGapsOf(snapshot);
        } catch (const std::exception &error) {
            qCWarning(lcCoordinator) << "Codex's project names could not be read:"
                                     << messageOf(error);
        }

        const QSet<QString> processing = processingCheck.get();

        QList<CodexProject> projects =
            projectsFromThreads(allThreads, includeArchived, snapshot, processing, previous);
        result.catalogUpdate.codexProjects = projects;
        result.catalogUpdate.observedAt = now;
        try {
            QSet<QString> codexPaths;
            for (const CodexProject &project : std::as_const(projects))
                codexPaths.insert(project.path());
            // Only the projects Codex no longer lists are added from the catalog, read before
            // this refresh synchronises it (once the list is shown): the synchronisation
            // writes Codex's projects, not these.
            projects.append(catalog.loadProjects(includeArchived, codexPaths));
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

std::optional<QString> ProjectAssembly::writeCatalog(ProjectCatalogStore &catalog,
                                                     const CatalogUpdate &update)
{
    const CodexActivityStore::UserRequestChanges &requests = update.userRequests;
    if (!requests.isEmpty()) {
        try {
            catalog.saveLatestRequests(requests.read, requests.removed);
        } catch (const std::exception &error) {
            // Only the next start pays: it reads these tails again.
            qCWarning(lcCoordinator) << "Latest requests could not be kept:" << messageOf(error);
        }
    }
    try {
        catalog.synchronize(update.codexProjects, update.observedAt);
    } catch (const std::exception &error) {
        return messageOf(error);
    }
    return std::nullopt;
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
    const QList<CodexThread> &threads, bool includeArchived,
    const CodexGlobalStateSnapshot &snapshot, const QSet<QString> &processingThreadIDs,
    const QList<CodexProject> &previous)
{
    QHash<QString, const CodexProject *> previousByPath;
    previousByPath.reserve(previous.size());
    for (const CodexProject &project : previous)
        previousByPath.insert(project.path(), &project);

    // Threads are grouped and sorted as pointers and copied once, in their final order.
    QStringList order;
    QHash<QString, qsizetype> groupOf;
    std::vector<std::vector<const CodexThread *>> groups;
    // Thousands of threads share a few hundred folders: each is put in standard form once.
    QHash<QString, QString> standardForms;
    for (const CodexThread &thread : threads) {
        if (thread.archived && !includeArchived)
            continue;
        auto form = standardForms.constFind(thread.cwd);
        if (form == standardForms.cend())
            form = standardForms.insert(thread.cwd, standardizedPath(thread.cwd));
        const QString &path = *form;
        auto group = groupOf.constFind(path);
        if (group == groupOf.cend()) {
            order.append(path);
            group = groupOf.insert(path, qsizetype(groups.size()));
            groups.emplace_back();
        }
        groups[size_t(*group)].push_back(&thread);
    }

    QList<CodexProject> projects;
    projects.reserve(order.size());
    for (qsizetype index = 0; index < order.size(); ++index) {
        const QString &path = order[index];
        std::vector<const CodexThread *> &members = groups[size_t(index)];
        std::optional<QString> projectID;
        for (const CodexThread *thread : members) {
            if (thread->projectID) {
                projectID = thread->projectID;
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
        std::stable_sort(members.begin(), members.end(),
                         [](const CodexThread *a, const CodexThread *b) {
                             return a->updatedAt > b->updatedAt;
                         });
        const CodexProject *before = previousByPath.value(path);
        const bool sameThreads = before && before->threads().size() == qsizetype(members.size())
            && std::equal(members.cbegin(), members.cend(), before->threads().cbegin(),
                          [](const CodexThread *a, const CodexThread &b) { return *a == b; });
        QList<CodexThread> group;
        if (sameThreads) {
            group = before->threads();
        } else {
            group.reserve(qsizetype(members.size()));
            for (const CodexThread *thread : members)
                group.append(*thread);
        }
        const bool isPinned = snapshot.pinnedProjectPaths.contains(path);
        CodexProject project(path, std::move(group), isPinned, snapshot.unreadThreadIDs,
                             processingThreadIDs, projectID, customName);
        if (sameThreads && project == *before)
            projects.append(*before);
        else
            projects.append(std::move(project));
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
