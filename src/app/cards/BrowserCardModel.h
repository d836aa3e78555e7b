#pragma once

#include "data/catalog/ProjectCardSnapshot.h"
#include "data/git/ProjectGitStatus.h"
#include "data/catalog/ProjectTag.h"
#include "data/git/SharedProjectState.h"
#include "team/view/TeamProjectSummary.h"

#include <QList>
#include <QStringList>

#include <optional>

namespace tolvaran {

// Everything one project card shows, as one comparable value. The render pass builds one per
// project of the page and reloads a card only when its value differs from the last one, so
// equality must see every field the card draws: each nested record is compared whole (a git
// status re-checked with no other change still differs by its check time), tags by id and
// name in order, the weekly share as an exact double.
struct BrowserCardModel
{
    ProjectCardSnapshot project;
    std::optional<ProjectGitStatus> gitStatus;
    std::optional<TeamProjectSummary> teamSummary;   // teammates on the same repository
    std::optional<SharedProjectState> localActivity; // what this device shares for it
    QStringList teamNames;                           // teams the project is shared through
    QList<ProjectTag> assignedTags;
    QList<ProjectTag> availableTags;                 // the tag menu, in menu order
    qint64 weeklyTokens = 0;                         // in the current weekly window
    double weeklyShare = 0.0;                        // of the weekly allowance; 0.1 is 10 %
    bool canRename = false;
    bool isSelected = false;

    friend bool operator==(const BrowserCardModel &, const BrowserCardModel &) = default;
};

size_t qHash(const BrowserCardModel &model, size_t seed = 0) noexcept;

} // namespace tolvaran
