#pragma once

#include <QString>

#include <array>
#include <optional>

namespace tolvaran {

// The three choice lists of the browser. Each raw value is also the label shown; a raw value
// converts back only by exact, case-sensitive match.

enum class ProjectSortMode { recent, name, path, threads, tokens };
enum class ProjectScopeFilter { all, pinned, unread, processing };
enum class ProjectPageSize { ten, twentyFive, oneHundred, all };

inline constexpr std::array allProjectSortModes{ProjectSortMode::recent, ProjectSortMode::name,
                                                ProjectSortMode::path, ProjectSortMode::threads,
                                                ProjectSortMode::tokens};
inline constexpr std::array allProjectScopeFilters{ProjectScopeFilter::all,
                                                   ProjectScopeFilter::pinned,
                                                   ProjectScopeFilter::unread,
                                                   ProjectScopeFilter::processing};
inline constexpr std::array allProjectPageSizes{ProjectPageSize::ten, ProjectPageSize::twentyFive,
                                                ProjectPageSize::oneHundred, ProjectPageSize::all};

QString rawValue(ProjectSortMode mode);
QString rawValue(ProjectScopeFilter filter);
QString rawValue(ProjectPageSize size);

std::optional<ProjectSortMode> projectSortModeFromRawValue(const QString &raw);
std::optional<ProjectScopeFilter> projectScopeFilterFromRawValue(const QString &raw);
std::optional<ProjectPageSize> projectPageSizeFromRawValue(const QString &raw);

// Projects per page; absent for "All" (no paging).
std::optional<int> projectsPerPage(ProjectPageSize size);

} // namespace tolvaran
