#pragma once

#include "data/catalog/CodexProject.h"
#include "data/catalog/ProjectCardSnapshot.h"
#include "data/catalog/ProjectListChoices.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

namespace tolvaran {

// The browser's list controls, as the coordinator holds them.
struct ProjectListCriteria
{
    // Values of the team filter besides a team id.
    static inline const QString allTeams = QStringLiteral("all");
    static inline const QString localOnly = QStringLiteral("local-only");

    QString searchText;
    ProjectScopeFilter scopeFilter = ProjectScopeFilter::all;
    ProjectSortMode sortMode = ProjectSortMode::recent;
    std::optional<QUuid> selectedTagID;
    QString teamFilterID = allTeams;
};

// Turning the list of every known project into what the browser shows: the filtered and sorted
// list, and pages of it. Pure functions over values; the coordinator decides what to publish.
namespace ProjectListing {

using TeamIDsForPath = std::function<QSet<QString>(const QString &path)>;

// The projects that pass the selected tag, the team filter, the scope and the search text, in
// that order of tests, sorted stably by the sort mode.
QList<CodexProject> filterAndSort(const QList<CodexProject> &projects,
                                  const ProjectListCriteria &criteria,
                                  const QHash<QString, QSet<QUuid>> &projectTagIDsByPath,
                                  const TeamIDsForPath &teamIDsForPath);

QList<ProjectCardSnapshot> cardSnapshots(const QList<CodexProject> &projects);

// One page for "All"; otherwise the count divided by the page size, rounded up, at least 1.
qint64 totalPages(qsizetype projectCount, ProjectPageSize pageSize);

// `page` raised to at least 1 and lowered to at most the page count.
qint64 clampedPage(qint64 page, qsizetype projectCount, ProjectPageSize pageSize);

// The projects of page `currentPage` (counted from 1).
QList<ProjectCardSnapshot> page(const QList<ProjectCardSnapshot> &projects, qint64 currentPage,
                                ProjectPageSize pageSize);

// "0 projects", or the caption of the page such as "21-23 of 23".
QString paginationSummary(qsizetype projectCount, qint64 currentPage, ProjectPageSize pageSize);

} // namespace ProjectListing
} // namespace tolvaran
