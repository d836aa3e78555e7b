#pragma once

#include "platform/Timestamp.h"

#include <QHashFunctions>
#include <QString>

#include <optional>

namespace tolvaran {

// What the coordinator knows of one project and offers to the team workspace.
struct LocalTeamProjectSource
{
    QString path;
    std::optional<QString> gitOriginURL;
    bool canDiscoverGitOrigin = false;
    bool isCodexProcessing = false;
    std::optional<QString> latestUserRequest;
    Timestamp recencyAt;

    friend bool operator==(const LocalTeamProjectSource &, const LocalTeamProjectSource &) =
        default;
};

inline size_t qHash(const LocalTeamProjectSource &source, size_t seed = 0) noexcept
{
    return qHashMulti(seed, source.path, source.gitOriginURL.has_value(),
                      source.gitOriginURL.value_or(QString()), source.canDiscoverGitOrigin,
                      source.isCodexProcessing, source.latestUserRequest.has_value(),
                      source.latestUserRequest.value_or(QString()), source.recencyAt);
}

} // namespace tolvaran
