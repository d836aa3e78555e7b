#include "support/codex/StandInCodexProcess.h"

#include <QFile>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace tolvaran::fixtures {

StandInCodexProcess::StandInCodexProcess(const QString &rolloutPath,
                                         const QString &writerLockPath)
    : m_writerLockPath(writerLockPath)
{
    // Everything the child needs is prepared here: after fork() in a program with threads,
    // the child may only make async-signal-safe calls.
    const QByteArray rollout = QFile::encodeName(rolloutPath);
    const QByteArray lock = QFile::encodeName(writerLockPath);
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        throw std::runtime_error("could not make a pipe");
    m_pid = ::fork();
    if (m_pid < 0)
        throw std::runtime_error("could not fork");
    if (m_pid == 0) {
        ::close(ready[0]);
        if (::open(rollout.constData(), O_WRONLY | O_APPEND | O_CREAT, 0600) < 0)
            ::_exit(1);
        if (!lock.isEmpty()) {
            const int fd = ::open(lock.constData(), O_RDWR | O_CREAT, 0600);
            if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
                ::_exit(2);
        }
        const char byte = 'r';
        if (::write(ready[1], &byte, 1) != 1)
            ::_exit(3);
        ::close(ready[1]);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    ssize_t got = 0;
    do {
        got = ::read(ready[0], &byte, 1);
    } while (got < 0 && errno == EINTR);
    ::close(ready[0]);
    if (got != 1) {
        kill();
        throw std::runtime_error("the stand-in Codex process did not start");
    }
}

StandInCodexProcess::~StandInCodexProcess()
{
    kill();
}

void StandInCodexProcess::kill()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
}

void StandInCodexProcess::exitNormally()
{
    if (!m_writerLockPath.isEmpty())
        QFile::remove(m_writerLockPath);
    kill();
}

} // namespace tolvaran::fixtures
