#include "detail/ProjectDetailTab.h"

namespace tolvaran {

QList<ProjectDetailTab> projectDetailTabs()
{
    return {ProjectDetailTab::overview, ProjectDetailTab::commits, ProjectDetailTab::chats,
            ProjectDetailTab::markdown};
}

QString projectDetailTabLabel(ProjectDetailTab tab)
{
    switch (tab) {
    case ProjectDetailTab::overview:
        return QStringLiteral("Overview");
    case ProjectDetailTab::commits:
        return QStringLiteral("Recent Commits");
    case ProjectDetailTab::chats:
        return QStringLiteral("Recent Chats");
    case ProjectDetailTab::markdown:
        return QStringLiteral("Markdown Files");
    }
    return {};
}

QString projectDetailTabSymbol(ProjectDetailTab tab)
{
    switch (tab) {
    case ProjectDetailTab::overview:
        return QStringLiteral("rectangle.grid.2x2");
    case ProjectDetailTab::commits:
        return QStringLiteral("clock.arrow.circlepath");
    case ProjectDetailTab::chats:
        return QStringLiteral("text.bubble");
    case ProjectDetailTab::markdown:
        return QStringLiteral("doc.text");
    }
    return {};
}

std::optional<ProjectDetailTab> projectDetailTab(const QString &label)
{
    for (ProjectDetailTab tab : projectDetailTabs()) {
        if (projectDetailTabLabel(tab) == label)
            return tab;
    }
    return std::nullopt;
}

} // namespace tolvaran
