#pragma once

#include "platform/Timestamp.h"

#include <QHashFunctions>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace tolvaran {

// What the program knows of one project folder's git state, as the cards and the detail pane
// show it and the metadata cache keeps it.
struct ProjectGitStatus
{
    bool isRepository = false;        // git status ran and exited with status 0
    std::optional<QString> branch;    // as git names it, or "Detached HEAD"
    std::optional<QString> upstream;  // as git prints it after "# branch.upstream "
    qint64 aheadCount = 0;            // 0 when unknown
    qint64 behindCount = 0;           // 0 when unknown
    Timestamp checkedAt;

    friend bool operator==(const ProjectGitStatus &, const ProjectGitStatus &) = default;

    // Keys equal to the field names; `checkedAt` as seconds since 2001-01-01; absent branch
    // and upstream write no key.
    QJsonObject toJson() const;
    // Throws JsonDecodingError when a required key is missing, null or mistyped.
    static ProjectGitStatus fromJson(const QJsonObject &object);
};

inline size_t qHash(const ProjectGitStatus &status, size_t seed = 0) noexcept
{
    return qHashMulti(seed, status.isRepository, status.branch.has_value(),
                      status.branch.value_or(QString()), status.upstream.has_value(),
                      status.upstream.value_or(QString()), status.aheadCount,
                      status.behindCount, status.checkedAt);
}

} // namespace tolvaran
