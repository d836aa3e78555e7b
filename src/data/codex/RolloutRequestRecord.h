#pragma once

#include <QString>

#include <optional>

namespace tolvaran {

// The latest request read from one rollout file, with the file's size and modification time
// when it was read. The catalog keeps these, so that a start reads again only the tails of
// the rollouts that changed since.
struct RolloutRequestRecord
{
    QString rolloutPath;
    quint64 fileSize = 0;
    qint64 modificationNanoseconds = 0; // since 1970
    std::optional<QString> request;

    friend bool operator==(const RolloutRequestRecord &, const RolloutRequestRecord &) = default;
};

} // namespace tolvaran
