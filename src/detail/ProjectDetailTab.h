#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace tolvaran {

// The tabs of the detail pane, in the order the tab bar shows them.
enum class ProjectDetailTab { overview, commits, chats, markdown };

QList<ProjectDetailTab> projectDetailTabs();
// The label shown, which also names the tab ("Recent Commits").
QString projectDetailTabLabel(ProjectDetailTab tab);
QString projectDetailTabSymbol(ProjectDetailTab tab);
// The tab whose label is `label`; none for any other text.
std::optional<ProjectDetailTab> projectDetailTab(const QString &label);

} // namespace tolvaran
