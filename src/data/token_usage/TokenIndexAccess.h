#pragma once

#include <QString>

#include <chrono>
#include <functional>

namespace tolvaran {

// A rollout file as one look at it saw it: what tells the token-usage index that it changed.
struct RolloutFileState
{
    qint64 size = -1; // -1: missing
    qint64 modifiedNanoseconds = 0;

    friend bool operator==(const RolloutFileState &, const RolloutFileState &) = default;
};

// How the token-usage index reaches what lies outside its database: the state of a rollout
// file, the reading of its bytes, and the clock that spaces its checks of every rollout. The
// system's by default; tests count what a pass asks for, and benchmarks run passes in
// simulated time. The first two are called from several threads at once.
struct TokenIndexAccess
{
    using Clock = std::chrono::steady_clock;

    // stat() of the file at `path` (links followed); size -1 when it cannot be asked.
    std::function<RolloutFileState(const QString &path)> fileState = &systemFileState;
    // pread() of `size` bytes at `offset` of the open file `descriptor`: the count read, 0 at
    // its end, -1 with errno set on a failure.
    std::function<qint64(int descriptor, char *buffer, qint64 size, qint64 offset)> read =
        &systemRead;
    std::function<Clock::time_point()> monotonicNow = &Clock::now;

    static RolloutFileState systemFileState(const QString &path);
    static qint64 systemRead(int descriptor, char *buffer, qint64 size, qint64 offset);
};

} // namespace tolvaran
