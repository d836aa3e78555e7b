#pragma once

#include "coordinator/ProjectListing.h"
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

class TeamWorkspaceService;

// The list the browser shows, as the coordinator publishes it: the list controls, the projects
// that pass them as card values in their order, and the current page of those.
//
// Every assignment re-filters (the page size: re-pages) and returns to page 1, also when the
// value is unchanged. Each stored value is announced at once (`announce`, after it is stored):
// the filtered list and the page only when their contents change, the page number always.
class FilteredProjectList final
{
public:
    enum class Change { criteria, projects };
    using Announce = std::function<void(Change)>;

    // What the list is computed from; all of it outlives the list.
    struct Sources
    {
        const QList<CodexProject> &projects;
        const QHash<QString, QSet<QUuid>> &projectTagIDsByPath;
        // The teams that share a project folder, and the enabled teams of the team filter.
        TeamWorkspaceService &teamService;
    };

    FilteredProjectList(Sources sources, Announce announce);

    const ProjectListCriteria &criteria() const { return m_criteria; }
    ProjectPageSize pageSize() const { return m_pageSize; }
    const QList<ProjectCardSnapshot> &filteredProjects() const { return m_filteredProjects; }
    const QList<ProjectCardSnapshot> &pagedProjects() const { return m_pagedProjects; }
    // Counted from 1.
    qint64 currentPage() const { return m_currentPage; }
    qint64 totalPages() const;
    // "0 projects" or "21-23 of 23".
    QString paginationSummary() const;

    void setSearchText(const QString &text);
    void setScopeFilter(ProjectScopeFilter filter);
    void setSortMode(ProjectSortMode mode);
    void setPageSize(ProjectPageSize size);
    void setSelectedTagID(const std::optional<QUuid> &tagID);
    // A filter whose team is not (or no longer) enabled returns to "all".
    void setTeamFilterID(const QString &teamID);
    // Returns the team filter to "all", from page 1, when its team is gone (and "local-only"
    // once no team is enabled, as the control that shows it is hidden then); true when it did.
    bool resetVanishedTeamFilter();

    // Recomputes the filtered list and the page; `resetPage` returns to page 1, otherwise the
    // current page is kept as far as it still exists.
    void updateFilteredProjects(bool resetPage);
    // Recomputes the current page and its projects from the filtered list.
    void updatePagedProjects(bool resetPage);
    void showPreviousPage();
    void showNextPage();

private:
    template <typename T, typename Value>
    void assign(Change change, T &field, Value &&value)
    {
        field = std::forward<Value>(value);
        m_announce(change);
    }

    Sources m_sources;
    Announce m_announce;
    ProjectListCriteria m_criteria;
    ProjectPageSize m_pageSize = ProjectPageSize::ten;
    QList<ProjectCardSnapshot> m_filteredProjects;
    QList<ProjectCardSnapshot> m_pagedProjects;
    qint64 m_currentPage = 1;
};

} // namespace tolvaran
