#include "data/catalog/ProjectListChoices.h"

namespace tolvaran {

namespace {

template <typename Enum, size_t N>
std::optional<Enum> fromRaw(const std::array<Enum, N> &cases, const QString &raw)
{
    for (Enum value : cases) {
        if (rawValue(value) == raw)
            return value;
    }
    return std::nullopt;
}

} // namespace

QString rawValue(ProjectSortMode mode)
{
    switch (mode) {
    case ProjectSortMode::recent: return QStringLiteral("Recent");
    case ProjectSortMode::name: return QStringLiteral("Name");
    case ProjectSortMode::path: return QStringLiteral("Path");
    case ProjectSortMode::threads: return QStringLiteral("Chats");
    case ProjectSortMode::tokens: return QStringLiteral("Tokens");
    }
    return {};
}

QString rawValue(ProjectScopeFilter filter)
{
    switch (filter) {
    case ProjectScopeFilter::all: return QStringLiteral("All");
    case ProjectScopeFilter::pinned: return QStringLiteral("Pinned");
    case ProjectScopeFilter::unread: return QStringLiteral("Unread");
    case ProjectScopeFilter::processing: return QStringLiteral("Processing");
    }
    return {};
}

QString rawValue(ProjectPageSize size)
{
    switch (size) {
    case ProjectPageSize::ten: return QStringLiteral("10");
    case ProjectPageSize::twentyFive: return QStringLiteral("25");
    case ProjectPageSize::oneHundred: return QStringLiteral("100");
    case ProjectPageSize::all: return QStringLiteral("All");
    }
    return {};
}

std::optional<ProjectSortMode> projectSortModeFromRawValue(const QString &raw)
{
    return fromRaw(allProjectSortModes, raw);
}

std::optional<ProjectScopeFilter> projectScopeFilterFromRawValue(const QString &raw)
{
    return fromRaw(allProjectScopeFilters, raw);
}

std::optional<ProjectPageSize> projectPageSizeFromRawValue(const QString &raw)
{
    return fromRaw(allProjectPageSizes, raw);
}

std::optional<int> projectsPerPage(ProjectPageSize size)
{
    switch (size) {
    case ProjectPageSize::ten: return 10;
    case ProjectPageSize::twentyFive: return 25;
    case ProjectPageSize::oneHundred: return 100;
    case ProjectPageSize::all: return std::nullopt;
    }
    return std::nullopt;
}

} // namespace tolvaran
