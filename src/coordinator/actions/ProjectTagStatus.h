#pragma once

namespace tolvaran {

// The counts one row of the tag sidebar shows.
struct ProjectTagStatus
{
    int totalCount = 0;
    int unreadProjectCount = 0;     // of those, projects with an unread chat
    int processingProjectCount = 0; // of those, projects Codex is working in

    friend bool operator==(const ProjectTagStatus &, const ProjectTagStatus &) = default;
};

} // namespace tolvaran
