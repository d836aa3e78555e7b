#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

class QThreadPool;

namespace tolvaran {

namespace Internal {
void runSideBySide(std::size_t count, std::size_t threads,
                   const std::function<void(std::size_t)> &work);
// The pool of the side-by-side helpers.
QThreadPool &sideBySideHelpers();
// Ends the helpers when no loop is running, waiting up to `bound` for helpers of ended loops
// to be given a thread and return.
bool endIdleHelpers(std::chrono::milliseconds bound);
} // namespace Internal

// Runs `work(i)` for every i in 0 … count - 1 on up to `threads` threads, the calling one
// among them (so one thread, or none asked for, runs everything here). Each item goes to the
// next free thread, and the call returns once every item is done. `work` must not throw.
//
// The other threads are the side-by-side helpers: a pool of their own, shared by every such
// loop of the program and at most one thread per core, so that these loops neither wait
// behind the slow jobs of the thread pool nor start threads of their own each time. Helpers
// busy with another loop may join late or not at all; the calling thread then takes what is
// left, so a loop never waits for a helper to start, and loops may nest.
template <typename Work>
void forEachSideBySide(std::size_t count, std::size_t threads, const Work &work)
{
    if (threads <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i)
            work(i);
        return;
    }
    Internal::runSideBySide(count, threads, std::function<void(std::size_t)>(std::cref(work)));
}

// Ends the side-by-side helpers now unless a loop is running, and with them what each keeps
// per thread: the fonts and glyph caches of the text it laid out, a few megabytes a helper,
// more where fallback fonts are installed (CJK, emoji), and as many helpers as cores. Returns
// whether they ended; the next loop starts helpers anew. Left alone, the pool ends idle
// helpers only after its expiry time. Waits only for helpers of ended loops that have yet to
// be given a thread (which then do nothing), never for another loop's work; call it after
// work whose helpers are not needed again soon.
bool releaseIdleSideBySideHelpers();

} // namespace tolvaran
