#include "platform/storage/LockedTemporaryFile.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvaran {

namespace {

// How many new files one creation makes when sweeps of other processes take them before they
// are locked, or their drawn names are taken already.
constexpr int creationAttempts = 3;
constexpr mode_t privateMode = 0600;

// flock locks belong to an open file, not to a process: a sweep's own open of a file conflicts
// with its writer's lock whether that writer is in this process or another. The one moment a
// file exists unlocked is between its creation and its lock:
// - in this process, a writer holds this mutex across those two steps and a sweep holds it
//   throughout, so no sweep of this process ever takes a file this process writes;
// - a sweep of another process may take a file in that moment; its writer, once it holds the
//   lock, finds its file gone from the folder and starts again with a new one.
std::mutex creationAndSweeps;

} // namespace

LockedTemporaryFile::LockedTemporaryFile(QString path, FileDescriptor file)
    : m_path(std::move(path))
    , m_file(std::move(file))
{
}

std::optional<LockedTemporaryFile> LockedTemporaryFile::create(
    const std::function<QString()> &drawPath, mode_t mode)
{
    const std::lock_guard creating(creationAndSweeps);
    for (int attempt = 0; attempt < creationAttempts; ++attempt) {
        const QString path = drawPath();
        const QByteArray native = QFile::encodeName(path);
        FileDescriptor file(::open(native.constData(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                   privateMode));
        if (!file.isValid()) {
            if (errno == EEXIST)
                continue;
            return std::nullopt;
        }
        struct stat status{};
        if (::flock(file.get(), LOCK_EX) != 0 || ::fstat(file.get(), &status) != 0) {
            ::unlink(native.constData());
            return std::nullopt;
        }
        if (status.st_nlink == 0)
            continue; // taken by another process's sweep before it was locked
        if (::fchmod(file.get(), mode) != 0) {
            ::unlink(native.constData());
            return std::nullopt;
        }
        return LockedTemporaryFile(path, std::move(file));
    }
    return std::nullopt;
}

void LockedTemporaryFile::removeStale(const QString &folder,
                                      const std::function<bool(const QString &name)> &isOurs)
{
    const QDir directory(folder);
    const std::lock_guard sweeping(creationAndSweeps);
    const QStringList entries = directory.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        if (!isOurs(entry))
            continue;
        const QByteArray path = QFile::encodeName(directory.filePath(entry));
        const FileDescriptor file(
            ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat status{};
        if (!file.isValid() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        if (::flock(file.get(), LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
    }
}

std::unique_lock<std::mutex> LockedTemporaryFile::holdOffSweeps()
{
    return std::unique_lock(creationAndSweeps);
}

bool LockedTemporaryFile::writeAndSync(const QByteArray &contents) const
{
    qsizetype written = 0;
    while (written < contents.size()) {
        const ssize_t put = ::write(m_file.get(), contents.constData() + written,
                                    size_t(contents.size() - written));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        written += qsizetype(put);
    }
    return ::fsync(m_file.get()) == 0;
}

} // namespace tolvaran
