#pragma once

#include "coordinator/actions/ProjectTagStatus.h"
#include "data/catalog/ProjectTag.h"

#include <QHash>
#include <QList>
#include <QUuid>

#include <optional>

namespace tolvaran {

// Everything the tag sidebar's rows show: the tags in their order, each tag's counts, the
// selection and the counts of the "All Projects" row. The rows are rebuilt only when it
// changes.
struct SidebarSignature
{
    QList<ProjectTag> tags;
    QHash<QUuid, ProjectTagStatus> statuses; // a tag without an entry counts as all zeros
    std::optional<QUuid> selectedTagID;      // none: all projects are shown
    ProjectTagStatus allProjectsStatus;

    friend bool operator==(const SidebarSignature &, const SidebarSignature &) = default;
};

} // namespace tolvaran
