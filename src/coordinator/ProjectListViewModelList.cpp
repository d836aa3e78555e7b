// The coordinator's list: the values the window sets, the values derived from the published
// ones, and the filter, sort and pages over the pure functions of ProjectListing.
#include "coordinator/ProjectListViewModel.h"
#include "platform/SaturatingAdd.h"

#include "team_interface/TeamWorkspaceService.h"
#include "team_interface/TeamWorkspaceTeam.h"

#include <algorithm>

namespace tolvaran {

using Self = ProjectListViewModel; // for the announcements of publish()

// Published values set by the window

void ProjectListViewModel::setSearchText(const QString &text)
{
    publish(&Self::listCriteriaChanged, m_criteria.searchText, text);
    updateFilteredProjects(true);
}

void ProjectListViewModel::setScopeFilter(ProjectScopeFilter filter)
{
    publish(&Self::listCriteriaChanged, m_criteria.scopeFilter, filter);
    updateFilteredProjects(true);
}

void ProjectListViewModel::setSortMode(ProjectSortMode mode)
{
    publish(&Self::listCriteriaChanged, m_criteria.sortMode, mode);
    updateFilteredProjects(true);
}

void ProjectListViewModel::setPageSize(ProjectPageSize size)
{
    publish(&Self::listCriteriaChanged, m_pageSize, size);
    updatePagedProjects(true);
}

void ProjectListViewModel::setSelectedTagID(const std::optional<QUuid> &tagID)
{
    publish(&Self::listCriteriaChanged, m_criteria.selectedTagID, tagID);
    updateFilteredProjects(true);
}

void ProjectListViewModel::setTeamFilterID(const QString &teamID)
{
    publish(&Self::listCriteriaChanged, m_criteria.teamFilterID, teamID);
    if (!resetVanishedTeamFilter())
        updateFilteredProjects(true);
}

bool ProjectListViewModel::resetVanishedTeamFilter()
{
    const QString &filter = m_criteria.teamFilterID;
    if (filter == ProjectListCriteria::allTeams)
        return false;
    // While no team is enabled the filter control is hidden, "local only" included.
    const QList<TeamWorkspaceTeam> teams = m_teamService.enabledTeams();
    bool shown = !teams.isEmpty() && filter == ProjectListCriteria::localOnly;
    for (const TeamWorkspaceTeam &team : teams)
        shown = shown || team.id == filter;
    if (shown)
        return false;
    publish(&Self::listCriteriaChanged, m_criteria.teamFilterID,
            ProjectListCriteria::allTeams);
    updateFilteredProjects(true);
    return true;
}

void ProjectListViewModel::setIncludeArchived(bool include)
{
    publish(&Self::listCriteriaChanged, m_includeArchived, include);
}

void ProjectListViewModel::setStatusMessage(const std::optional<QString> &message)
{
    m_statusSource = StatusSource::other;
    publish(&Self::statusChanged, m_statusMessage, message);
}

void ProjectListViewModel::setFailureStatus(const QString &message, StatusSource source)
{
    publish(&Self::statusChanged, m_statusMessage, message);
    m_statusSource = source;
}

void ProjectListViewModel::clearFailureStatus(StatusSource source)
{
    // Only the failure's own message goes: whatever was said since stays.
    if (m_statusSource != source || !m_statusMessage)
        return;
    m_statusSource = StatusSource::other;
    publish(&Self::statusChanged, m_statusMessage, std::nullopt);
}

void ProjectListViewModel::setSelectedProjectID(const std::optional<QString> &projectID)
{
    publish(&Self::projectsChanged, m_selectedProjectID, projectID);
}

// Derived values

qint64 ProjectListViewModel::threadTotal() const
{
    qint64 total = 0;
    for (const CodexProject &project : m_projects)
        total += project.threadCount();
    return total;
}

qint64 ProjectListViewModel::processingProjectCount() const
{
    return std::count_if(m_projects.cbegin(), m_projects.cend(), [](const CodexProject &p) {
        return !p.processingThreadIDs().isEmpty();
    });
}

qint64 ProjectListViewModel::pinnedProjectCount() const
{
    return std::count_if(m_projects.cbegin(), m_projects.cend(),
                         [](const CodexProject &p) { return p.isPinned(); });
}

qint64 ProjectListViewModel::notificationProjectCount() const
{
    return std::count_if(m_projects.cbegin(), m_projects.cend(),
                         [](const CodexProject &p) { return p.notificationCount() >= 1; });
}

TokenUsageReport ProjectListViewModel::globalTokenUsage() const
{
    TokenUsageReport report = m_tokenUsageSnapshot.global;
    qint64 codexTotal = 0;
    for (const CodexProject &project : m_projects)
        codexTotal = saturatingAdd(codexTotal, project.totalTokens());
    // Until the index has finished a pass, Codex's own counts are the best lifetime figure;
    // afterwards the index's figure is shown even when it is smaller.
    if (m_tokenUsageSnapshot.indexedAt.isDistantPast() && codexTotal > 0)
        report.lifetimeTokens = codexTotal;
    return report;
}

std::optional<QString> ProjectListViewModel::selectedTagName() const
{
    if (!m_criteria.selectedTagID)
        return std::nullopt;
    for (const ProjectTag &tag : m_tags) {
        if (tag.id == *m_criteria.selectedTagID)
            return tag.name;
    }
    return std::nullopt;
}

qint64 ProjectListViewModel::totalPages() const
{
    return ProjectListing::totalPages(m_filteredProjects.size(), m_pageSize);
}

QString ProjectListViewModel::paginationSummary() const
{
    return ProjectListing::paginationSummary(m_filteredProjects.size(), m_currentPage,
                                             m_pageSize);
}

std::optional<CodexProject> ProjectListViewModel::project(const QString &id) const
{
    for (const CodexProject &candidate : m_projects) {
        if (candidate.path() == id)
            return candidate;
    }
    return std::nullopt;
}

TokenUsageReport ProjectListViewModel::tokenUsage(const QString &projectPath) const
{
    return m_tokenUsageSnapshot.projects.value(projectPath, TokenUsageReport::empty());
}

// Filter, sort and pages

void ProjectListViewModel::updateFilteredProjects(bool resetPage)
{
    const auto teamIDs = [this](const QString &path) { return m_teamService.teamIDs(path); };
    QList<ProjectCardSnapshot> filtered = ProjectListing::cardSnapshots(
        ProjectListing::filterAndSort(m_projects, m_criteria, m_projectTagIDsByPath, teamIDs));
    // Only a changed list is published, so a refresh that changes nothing visible costs the
    // browser no rebuild.
    if (filtered != m_filteredProjects)
        publish(&Self::projectsChanged, m_filteredProjects, std::move(filtered));
    updatePagedProjects(resetPage);
}

void ProjectListViewModel::updatePagedProjects(bool resetPage)
{
    if (resetPage)
        publish(&Self::projectsChanged, m_currentPage, qint64(1));
    publish(&Self::projectsChanged, m_currentPage,
            ProjectListing::clampedPage(m_currentPage, m_filteredProjects.size(), m_pageSize));
    QList<ProjectCardSnapshot> page =
        ProjectListing::page(m_filteredProjects, m_currentPage, m_pageSize);
    if (page != m_pagedProjects)
        publish(&Self::projectsChanged, m_pagedProjects, std::move(page));
}

void ProjectListViewModel::showPreviousPage()
{
    if (m_currentPage < 2)
        return;
    publish(&Self::projectsChanged, m_currentPage, m_currentPage - 1);
    updatePagedProjects(false);
}

void ProjectListViewModel::showNextPage()
{
    if (m_currentPage >= totalPages())
        return;
    publish(&Self::projectsChanged, m_currentPage, m_currentPage + 1);
    updatePagedProjects(false);
}

} // namespace tolvaran
