#include "coordinator/ProjectListing.h"

#include <QCollator>

#include <algorithm>

namespace tolvaran::ProjectListing {

namespace {

bool matchesSearch(const CodexProject &project, const QString &query)
{
    if (query.isEmpty())
        return true;
    auto contains = [&query](const QString &text) { return text.toLower().contains(query); };
    if (contains(project.name()) || contains(project.path()))
        return true;
    for (const QString &branch : project.branches()) {
        if (contains(branch))
            return true;
    }
    for (const CodexThread &thread : project.threads()) {
        if (contains(thread.displayTitle()) || contains(thread.preview)
            || (thread.latestUserMessage && contains(*thread.latestUserMessage))
            || contains(thread.id))
            return true;
    }
    return false;
}

bool matchesScope(const CodexProject &project, ProjectScopeFilter scope)
{
    switch (scope) {
    case ProjectScopeFilter::all: return true;
    case ProjectScopeFilter::pinned: return project.isPinned();
    case ProjectScopeFilter::unread: return project.notificationCount() >= 1;
    case ProjectScopeFilter::processing: return !project.processingThreadIDs().isEmpty();
    }
    return true;
}

// QCollator is not safe to share between threads; the listing runs on the GUI thread, but a
// collator per thread keeps the function safe wherever it is called.
const QCollator &localizedCaseInsensitiveCollator()
{
    thread_local const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

} // namespace

QList<CodexProject> filterAndSort(const QList<CodexProject> &projects,
                                  const ProjectListCriteria &criteria,
                                  const QHash<QString, QSet<QUuid>> &projectTagIDsByPath,
                                  const TeamIDsForPath &teamIDsForPath)
{
    const QString query = criteria.searchText.trimmed().toLower();
    QList<CodexProject> kept;
    for (const CodexProject &project : projects) {
        if (criteria.selectedTagID
            && !projectTagIDsByPath.value(project.path()).contains(*criteria.selectedTagID))
            continue;
        if (criteria.teamFilterID == ProjectListCriteria::localOnly) {
            if (!teamIDsForPath(project.path()).isEmpty())
                continue;
        } else if (criteria.teamFilterID != ProjectListCriteria::allTeams) {
            if (!teamIDsForPath(project.path()).contains(criteria.teamFilterID))
                continue;
        }
        if (!matchesScope(project, criteria.scopeFilter) || !matchesSearch(project, query))
            continue;
        kept.append(project);
    }

    const QCollator &collator = localizedCaseInsensitiveCollator();
    auto later = [](const CodexProject &a, const CodexProject &b) {
        return a.lastUpdated() > b.lastUpdated();
    };
    switch (criteria.sortMode) {
    case ProjectSortMode::recent:
        std::stable_sort(kept.begin(), kept.end(), later);
        break;
    case ProjectSortMode::name:
        std::stable_sort(kept.begin(), kept.end(), [&](const auto &a, const auto &b) {
            return collator.compare(a.name(), b.name()) < 0;
        });
        break;
    case ProjectSortMode::path:
        std::stable_sort(kept.begin(), kept.end(), [&](const auto &a, const auto &b) {
            return collator.compare(a.path(), b.path()) < 0;
        });
        break;
    case ProjectSortMode::threads:
        std::stable_sort(kept.begin(), kept.end(), [&](const auto &a, const auto &b) {
            if (a.threadCount() != b.threadCount())
                return a.threadCount() > b.threadCount();
            return later(a, b);
        });
        break;
    case ProjectSortMode::tokens:
        std::stable_sort(kept.begin(), kept.end(), [&](const auto &a, const auto &b) {
            if (a.totalTokens() != b.totalTokens())
                return a.totalTokens() > b.totalTokens();
            return later(a, b);
        });
        break;
    }
    return kept;
}

QList<ProjectCardSnapshot> cardSnapshots(const QList<CodexProject> &projects)
{
    QList<ProjectCardSnapshot> cards;
    cards.reserve(projects.size());
    for (const CodexProject &project : projects)
        cards.append(project.cardSnapshot());
    return cards;
}

qint64 totalPages(qsizetype projectCount, ProjectPageSize pageSize)
{
    const auto size = projectsPerPage(pageSize);
    if (!size)
        return 1;
    return std::max<qint64>(1, (qint64(projectCount) + *size - 1) / *size);
}

qint64 clampedPage(qint64 page, qsizetype projectCount, ProjectPageSize pageSize)
{
    return std::min(totalPages(projectCount, pageSize), std::max<qint64>(1, page));
}

QList<ProjectCardSnapshot> page(const QList<ProjectCardSnapshot> &projects, qint64 currentPage,
                                ProjectPageSize pageSize)
{
    const auto size = projectsPerPage(pageSize);
    if (!size)
        return projects;
    const qint64 count = projects.size();
    const qint64 start = std::min(count, (currentPage - 1) * *size);
    const qint64 end = std::min(count, start + *size);
    return projects.mid(start, end - start);
}

QString paginationSummary(qsizetype projectCount, qint64 currentPage, ProjectPageSize pageSize)
{
    if (projectCount == 0)
        return QStringLiteral("0 projects");
    const auto size = projectsPerPage(pageSize);
    if (!size)
        return QStringLiteral("1-%1 of %1").arg(projectCount);
    const qint64 first = (currentPage - 1) * *size + 1;
    const qint64 last = std::min<qint64>(projectCount, currentPage * *size);
    return QStringLiteral("%1-%2 of %3").arg(first).arg(last).arg(projectCount);
}

} // namespace tolvaran::ProjectListing
