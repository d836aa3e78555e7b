#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace tolvaran {

// Runs `work(i)` for every i in 0 … count - 1 on up to `threads` threads, the calling one
// among them (so one thread, or none asked for, runs everything here). Each item goes to the
// next free thread, and the call returns once every item is done. `work` must not throw.
template <typename Work>
void forEachSideBySide(std::size_t count, std::size_t threads, const Work &work)
{
    std::atomic<std::size_t> next = 0;
    const auto drain = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::jthread> helpers;
    for (std::size_t h = 1; h < std::min(threads, count); ++h)
        helpers.emplace_back(drain);
    drain();
}

} // namespace tolvaran
