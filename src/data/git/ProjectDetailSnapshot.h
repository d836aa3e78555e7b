#pragma once

#include "data/git/ProjectCommit.h"
#include "data/git/ProjectMarkdownFile.h"

#include <QHashFunctions>
#include <QList>

namespace tolvaran {

// What the detail pane loads per project: its recent commits (newest first, as git lists
// them) and its Markdown files (sorted by relative path).
struct ProjectDetailSnapshot
{
    QList<ProjectCommit> commits;
    QList<ProjectMarkdownFile> markdownFiles;

    friend bool operator==(const ProjectDetailSnapshot &, const ProjectDetailSnapshot &) =
        default;
};

inline size_t qHash(const ProjectDetailSnapshot &snapshot, size_t seed = 0) noexcept
{
    seed = qHashRange(snapshot.commits.cbegin(), snapshot.commits.cend(), seed);
    return qHashRange(snapshot.markdownFiles.cbegin(), snapshot.markdownFiles.cend(), seed);
}

} // namespace tolvaran
