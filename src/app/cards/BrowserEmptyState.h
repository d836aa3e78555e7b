#pragma once

#include <QString>

#include <optional>

namespace tolvaran {

// What the browser shows in place of the cards, and which failure goes to the status line.
// "Could not load Codex projects" is for a list that has nothing to show: a failure while
// projects are listed (an action's, or a refresh that kept the list) goes to the status line
// and the cards stay in view.
struct BrowserEmptyState
{
    std::optional<QString> centreText;      // the label over the card area; none hides it
    std::optional<QString> statusLineError; // appended to the footer's status line

    static BrowserEmptyState decide(const std::optional<QString> &errorMessage, bool isLoading,
                                    bool hasProjects, bool hasFilteredProjects);

    friend bool operator==(const BrowserEmptyState &, const BrowserEmptyState &) = default;
};

} // namespace tolvaran
