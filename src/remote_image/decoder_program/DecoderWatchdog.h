#pragma once

#include "work/FileDescriptor.h"

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <thread>

namespace tolvaran::markdown {

// The decoding process's own guard, on a thread of its own beside the decoding: it ends the
// process the moment a picture passes its CPU time or the process its memory, and as soon as
// the program's end of the socket closes, whatever the decoding is doing (a decoder deep in a
// loop of its own never returns to be asked). It ends the process with _exit, which needs no
// lock the decoding may hold, and never returns.
class DecoderWatchdog final
{
public:
    // How often the CPU time and the memory are looked at while a picture is decoded. A
    // decoder that allocates as fast as the system gives it pages passes the limit by a few
    // tens of megabytes in that time; where the data segment can be limited (not under
    // AddressSanitizer) its allocations beyond that fail at once.
    static constexpr std::chrono::milliseconds checkInterval{10};

    // `memoryStatus` is /proc/self/statm, opened before the sandbox closed the process's
    // files; the guard's thread starts here, after it, and so is shut in too.
    DecoderWatchdog(int socket, FileDescriptor memoryStatus,
                    std::chrono::milliseconds cpuTimePerPicture, qint64 memoryBytes);
    // The process's memory status, to be handed to the guard.
    static FileDescriptor openMemoryStatus();
    // The process ends with _exit: the guard is never destroyed while it runs.
    ~DecoderWatchdog() = delete;

    void pictureStarted();
    void pictureEnded();
    // The process's own memory now: its resident pages less those shared with files and
    // other processes (the program's libraries, fonts, the memory files that carry
    // pictures).
    qint64 ownMemory() const;

private:
    void watch();
    void checkLimits() const;

    const int m_socket;
    const std::chrono::milliseconds m_cpuTimePerPicture;
    const qint64 m_memoryBytes;
    const long m_pageBytes;
    // Wakes the guard when a picture starts (eventfd).
    FileDescriptor m_wake;
    FileDescriptor m_memoryStatus;
    // The process's CPU time, in nanoseconds, past which the picture decoded now is given
    // up; 0 while none is.
    std::atomic<qint64> m_cpuDeadline{0};
    std::thread m_thread;
};

} // namespace tolvaran::markdown
