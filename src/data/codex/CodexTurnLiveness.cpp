#include "data/codex/CodexTurnLiveness.h"

#include <QFile>
#include <QSet>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

namespace tolvaran {

namespace {

struct FileKey
{
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileKey &, const FileKey &) = default;
};

std::optional<struct stat> fileStatus(const QString &path, bool followLinks)
{
    struct stat status{};
    const QByteArray native = QFile::encodeName(path);
    const int result = followLinks ? ::stat(native.constData(), &status)
                                   : ::lstat(native.constData(), &status);
    if (result != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return status;
}

// A thread id names a file in the lock folder only when it cannot lead out of it.
bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

// The inode numbers of every lock held on the machine (waiters excluded), or nothing when the
// table cannot be read. Lines look like
//   "1: FLOCK  ADVISORY  WRITE 18824 fe:00:10953956 0 EOF"
//   "2: -> FLOCK  ADVISORY  WRITE 18830 fe:00:10953956 0 EOF"   (a process waiting)
// The device is left out of the match on purpose: the kernel names the superblock's device,
// which differs from what stat() reports on btrfs subvolumes and overlay mounts, and a
// mismatch there would call a live turn dead. Two files with one inode number on two devices
// only ever make a dead turn look alive, which is what the rollout file said anyway.
std::optional<QSet<quint64>> heldLockInodes(const QString &procRoot)
{
    QFile file(procRoot + QStringLiteral("/locks"));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // A kernel-made table, a line per lock held on the machine: small, and not Codex's input.
    const QByteArray table = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QSet<quint64> inodes;
    for (const QByteArray &line : table.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2 || fields.at(1) == "->")
            continue;
        for (const QByteArray &field : fields) {
            if (field.count(':') != 2)
                continue;
            bool ok = false;
            const quint64 inode = field.mid(field.lastIndexOf(':') + 1).toULongLong(&ok);
            if (ok)
                inodes.insert(inode);
            break;
        }
    }
    return inodes;
}

// The real user id of a process, from the "Uid:" line of its status file.
std::optional<uid_t> processUserID(int procDirectory, const char *pid)
{
    const int fd = ::openat(procDirectory, QByteArray(QByteArray(pid) + "/status").constData(),
                            O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buffer[4096];
    const ssize_t length = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (length <= 0)
        return std::nullopt;
    const QByteArray status(buffer, qsizetype(length));
    const qsizetype line = status.indexOf("\nUid:");
    if (line < 0)
        return std::nullopt;
    const QList<QByteArray> fields =
        status.mid(line + 5, status.indexOf('\n', line + 1) - line - 5).simplified().split(' ');
    bool ok = false;
    const uint uid = fields.value(0).toUInt(&ok);
    return ok ? std::optional<uid_t>(uid_t(uid)) : std::nullopt;
}

struct OpenFileScan
{
    QList<bool> found; // by index of the wanted keys
    bool complete = false;
};

// Which of `wanted` some other process of this user has open. POSIX directory calls rather
// than QDir: a desktop has thousands of open descriptors, and each is looked at with one
// fstatat() relative to its process's folder.
OpenFileScan scanOpenFiles(const QString &procRoot, const QList<FileKey> &wanted)
{
    OpenFileScan scan;
    scan.found.fill(false, wanted.size());
    DIR *processes = ::opendir(QFile::encodeName(procRoot).constData());
    if (!processes)
        return scan;
    scan.complete = true;
    const QByteArray self = QByteArray::number(::getpid());
    const uid_t user = ::getuid();
    while (const dirent *entry = ::readdir(processes)) {
        const QByteArray pid(entry->d_name);
        if (pid.isEmpty() || pid == self
            || !std::all_of(pid.begin(), pid.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const int fdFolder = ::openat(::dirfd(processes), QByteArray(pid + "/fd").constData(),
                                      O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fdFolder < 0) {
            if (errno == ENOENT || errno == ESRCH)
                continue; // ended meanwhile
            // Another user's process is none of our business; one of our own that hides its
            // descriptors (a Codex that made itself non-dumpable does) leaves the scan
            // unable to say that nobody has the file open.
            const std::optional<uid_t> owner = processUserID(::dirfd(processes), pid.constData());
            if (!owner || *owner == user)
                scan.complete = false;
            continue;
        }
        DIR *descriptors = ::fdopendir(fdFolder);
        if (!descriptors) {
            const int error = errno;
            ::close(fdFolder);
            // A process that ends after its folder was opened fails here as well.
            if (error != ENOENT && error != ESRCH)
                scan.complete = false;
            continue;
        }
        while (const dirent *descriptor = ::readdir(descriptors)) {
            if (descriptor->d_name[0] == '.')
                continue;
            struct stat status{};
            if (::fstatat(fdFolder, descriptor->d_name, &status, 0) != 0
                || !S_ISREG(status.st_mode))
                continue;
            for (qsizetype i = 0; i < wanted.size(); ++i) {
                if (wanted[i] == FileKey{status.st_dev, status.st_ino})
                    scan.found[i] = true;
            }
        }
        ::closedir(descriptors);
    }
    ::closedir(processes);
    return scan;
}

} // namespace

CodexTurnLiveness::CodexTurnLiveness(QString writerLockDirectory, QString procRoot)
    : m_writerLockDirectory(std::move(writerLockDirectory))
    , m_procRoot(std::move(procRoot))
{
}

CodexTurnLiveness CodexTurnLiveness::forCodexHome(const QString &codexHome)
{
    return CodexTurnLiveness(codexHome + QLatin1Char('/') + writerLockDirectoryName(),
                             QStringLiteral("/proc"));
}

QString CodexTurnLiveness::writerLockDirectoryName()
{
    return QStringLiteral("thread-writer-locks");
}

QHash<QString, CodexTurnLiveness::Verdict>
CodexTurnLiveness::verdicts(const QList<Turn> &turns) const
{
    QHash<QString, Verdict> result;
    for (const Turn &turn : turns)
        result.insert(turn.threadID, Verdict::unknown);
    if (!checksAnything() || turns.isEmpty())
        return result;

    // The lock table is read only when some turn has a lock file: reading it can take the
    // kernel tens of milliseconds on a busy machine.
    QList<std::optional<struct stat>> lockFiles;
    bool anyLockFile = false;
    for (const Turn &turn : turns) {
        std::optional<struct stat> lockFile;
        if (!m_writerLockDirectory.isEmpty() && isPlainFileName(turn.threadID))
            lockFile = fileStatus(m_writerLockDirectory + QLatin1Char('/') + turn.threadID
                                      + QStringLiteral(".lock"),
                                  false);
        anyLockFile = anyLockFile || lockFile.has_value();
        lockFiles.append(lockFile);
    }
    const std::optional<QSet<quint64>> heldLocks =
        anyLockFile ? heldLockInodes(m_procRoot) : std::nullopt;
    QList<const Turn *> undecided;
    QSet<QString> lockChecked; // a lock file exists and the lock table was read
    for (qsizetype i = 0; i < turns.size(); ++i) {
        const Turn &turn = turns[i];
        if (heldLocks) {
            if (const std::optional<struct stat> &lockFile = lockFiles[i]) {
                if (heldLocks->contains(quint64(lockFile->st_ino))) {
                    result[turn.threadID] = Verdict::alive;
                    continue;
                }
                lockChecked.insert(turn.threadID);
            }
        }
        undecided.append(&turn);
    }
    if (undecided.isEmpty())
        return result;

    QList<FileKey> keys;
    for (const Turn *turn : undecided) {
        const std::optional<struct stat> rollout = fileStatus(turn->rolloutPath, true);
        keys.append(rollout ? FileKey{rollout->st_dev, rollout->st_ino} : FileKey{});
    }
    const OpenFileScan scan = scanOpenFiles(m_procRoot, keys);
    for (qsizetype i = 0; i < undecided.size(); ++i) {
        const QString &id = undecided[i]->threadID;
        if (scan.found[i] && keys[i] != FileKey{})
            result[id] = Verdict::alive;
        else if (scan.complete || lockChecked.contains(id))
            result[id] = Verdict::dead;
    }
    return result;
}

} // namespace tolvaran
