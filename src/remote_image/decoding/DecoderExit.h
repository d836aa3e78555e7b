#pragma once

namespace tolvaran::markdown {

// How a decoding process ends of its own accord, as its exit status tells the program: apart
// from a clean end (0, its socket closed) and from whatever a crash gives (a signal, or the
// sanitizers' status 1).
enum class DecoderExit : int {
    // No request came for the process's idle lifetime.
    idle = 70,
    // The picture it decoded passed its CPU time.
    cpuLimit = 71,
    // The process passed its memory.
    memoryLimit = 72,
    // The program sent something that is not a request: the process cannot go on with it.
    badRequest = 73,
    // It could not set itself up (its arguments, its sandbox, its socket).
    cannotStart = 74,
};

} // namespace tolvaran::markdown
