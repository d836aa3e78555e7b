#include "remote_image/decoder_program/DecoderWatchdog.h"

#include "remote_image/decoding/DecoderExit.h"

#include <cstdio>
#include <utility>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace tolvaran::markdown {

namespace {

qint64 cpuTimeNanoseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

[[noreturn]] void endWith(DecoderExit exit)
{
    ::_exit(int(exit));
}

} // namespace

DecoderWatchdog::DecoderWatchdog(int socket, FileDescriptor memoryStatus,
                                 std::chrono::milliseconds cpuTimePerPicture,
                                 qint64 memoryBytes)
    : m_socket(socket)
    , m_cpuTimePerPicture(cpuTimePerPicture)
    , m_memoryBytes(memoryBytes)
    , m_pageBytes(::sysconf(_SC_PAGESIZE))
    , m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    , m_memoryStatus(std::move(memoryStatus))
    , m_thread([this] { watch(); })
{
}

FileDescriptor DecoderWatchdog::openMemoryStatus()
{
    return FileDescriptor(::open("/proc/self/statm", O_RDONLY | O_CLOEXEC));
}

void DecoderWatchdog::pictureStarted()
{
    m_cpuDeadline = cpuTimeNanoseconds()
                    + std::chrono::nanoseconds(m_cpuTimePerPicture).count();
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wake.get(), &one, sizeof(one));
}

void DecoderWatchdog::pictureEnded()
{
    m_cpuDeadline = 0;
}

void DecoderWatchdog::watch()
{
    for (;;) {
        const bool decoding = m_cpuDeadline.load() != 0;
        pollfd watched[] = {{m_socket, POLLRDHUP, 0}, {m_wake.get(), POLLIN, 0}};
        const int ready = ::poll(watched, 2, decoding ? int(checkInterval.count()) : -1);
        if (ready < 0)
            continue;
        // The program has gone, however it ended: so does the process.
        if (watched[0].revents & (POLLRDHUP | POLLHUP | POLLERR))
            ::_exit(0);
        if (watched[1].revents) {
            quint64 count = 0;
            [[maybe_unused]] const ssize_t read = ::read(m_wake.get(), &count, sizeof(count));
        }
        checkLimits();
    }
}

qint64 DecoderWatchdog::ownMemory() const
{
    char status[128] = {};
    const ssize_t length = ::pread(m_memoryStatus.get(), status, sizeof(status) - 1, 0);
    long long size = 0;
    long long resident = 0;
    long long shared = 0;
    if (length <= 0 || std::sscanf(status, "%lld %lld %lld", &size, &resident, &shared) != 3)
        return 0;
    return qint64(resident - shared) * m_pageBytes;
}

void DecoderWatchdog::checkLimits() const
{
    const qint64 deadline = m_cpuDeadline.load();
    if (deadline == 0)
        return;
    if (cpuTimeNanoseconds() > deadline)
        endWith(DecoderExit::cpuLimit);
    if (ownMemory() > m_memoryBytes)
        endWith(DecoderExit::memoryLimit);
}

} // namespace tolvaran::markdown
