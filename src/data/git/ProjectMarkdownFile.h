#pragma once

#include <QHashFunctions>
#include <QString>

namespace tolvaran {

// One Markdown file inside a project folder; identified by `path`.
struct ProjectMarkdownFile
{
    QString path;         // absolute
    QString relativePath; // below the project folder, no leading or trailing "/"

    friend bool operator==(const ProjectMarkdownFile &, const ProjectMarkdownFile &) = default;
};

inline size_t qHash(const ProjectMarkdownFile &file, size_t seed = 0) noexcept
{
    return qHashMulti(seed, file.path, file.relativePath);
}

} // namespace tolvaran
