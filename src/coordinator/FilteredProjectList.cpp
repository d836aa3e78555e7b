#include "coordinator/FilteredProjectList.h"

#include "team_interface/TeamWorkspaceService.h"
#include "team_interface/TeamWorkspaceTeam.h"

namespace tolvaran {

FilteredProjectList::FilteredProjectList(Sources sources, Announce announce)
    : m_sources(sources)
    , m_announce(std::move(announce))
{
}

qint64 FilteredProjectList::totalPages() const
{
    return ProjectListing::totalPages(m_filteredProjects.size(), m_pageSize);
}

QString FilteredProjectList::paginationSummary() const
{
    return ProjectListing::paginationSummary(m_filteredProjects.size(), m_currentPage,
                                             m_pageSize);
}

void FilteredProjectList::setSearchText(const QString &text)
{
    assign(Change::criteria, m_criteria.searchText, text);
    updateFilteredProjects(true);
}

void FilteredProjectList::setScopeFilter(ProjectScopeFilter filter)
{
    assign(Change::criteria, m_criteria.scopeFilter, filter);
    updateFilteredProjects(true);
}

void FilteredProjectList::setSortMode(ProjectSortMode mode)
{
    assign(Change::criteria, m_criteria.sortMode, mode);
    updateFilteredProjects(true);
}

void FilteredProjectList::setPageSize(ProjectPageSize size)
{
    assign(Change::criteria, m_pageSize, size);
    updatePagedProjects(true);
}

void FilteredProjectList::setSelectedTagID(const std::optional<QUuid> &tagID)
{
    assign(Change::criteria, m_criteria.selectedTagID, tagID);
    updateFilteredProjects(true);
}

void FilteredProjectList::setTeamFilterID(const QString &teamID)
{
    assign(Change::criteria, m_criteria.teamFilterID, teamID);
    if (!resetVanishedTeamFilter())
        updateFilteredProjects(true);
}

bool FilteredProjectList::resetVanishedTeamFilter()
{
    const QString &filter = m_criteria.teamFilterID;
    if (filter == ProjectListCriteria::allTeams)
        return false;
    // While no team is enabled the filter control is hidden, "local only" included.
    const QList<TeamWorkspaceTeam> teams = m_sources.teamService.enabledTeams();
    bool shown = !teams.isEmpty() && filter == ProjectListCriteria::localOnly;
    for (const TeamWorkspaceTeam &team : teams)
        shown = shown || team.id == filter;
    if (shown)
        return false;
    assign(Change::criteria, m_criteria.teamFilterID, ProjectListCriteria::allTeams);
    updateFilteredProjects(true);
    return true;
}

void FilteredProjectList::updateFilteredProjects(bool resetPage)
{
    TeamWorkspaceService &teams = m_sources.teamService;
    const auto teamIDs = [&teams](const QString &path) { return teams.teamIDs(path); };
    QList<ProjectCardSnapshot> filtered =
        ProjectListing::cardSnapshots(ProjectListing::filterAndSort(
            m_sources.projects, m_criteria, m_sources.projectTagIDsByPath, teamIDs));
    // Only a changed list is published, so a refresh that changes nothing visible costs the
    // browser no rebuild.
    if (filtered != m_filteredProjects)
        assign(Change::projects, m_filteredProjects, std::move(filtered));
    updatePagedProjects(resetPage);
}

void FilteredProjectList::updatePagedProjects(bool resetPage)
{
    if (resetPage)
        assign(Change::projects, m_currentPage, qint64(1));
    assign(Change::projects, m_currentPage,
           ProjectListing::clampedPage(m_currentPage, m_filteredProjects.size(), m_pageSize));
    QList<ProjectCardSnapshot> page =
        ProjectListing::page(m_filteredProjects, m_currentPage, m_pageSize);
    if (page != m_pagedProjects)
        assign(Change::projects, m_pagedProjects, std::move(page));
}

void FilteredProjectList::showPreviousPage()
{
    if (m_currentPage < 2)
        return;
    assign(Change::projects, m_currentPage, m_currentPage - 1);
    updatePagedProjects(false);
}

void FilteredProjectList::showNextPage()
{
    if (m_currentPage >= totalPages())
        return;
    assign(Change::projects, m_currentPage, m_currentPage + 1);
    updatePagedProjects(false);
}

} // namespace tolvaran
