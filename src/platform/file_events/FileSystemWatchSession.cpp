#include "platform/file_events/FileSystemWatchSession.h"

#include "platform/Logging.h"
#include "platform/SkippedFolders.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvaran::Internal {

namespace {

// Rounds of synchronisation while the folders on the way to a missing root keep changing
// under it; a later event starts another round.
constexpr int maximumSynchronizationRounds = 8;

// inotify buffers read in one turn of the loop before a due delivery is checked again.
constexpr size_t readBufferSize = 64 * 1024;
constexpr int readsPerTurn = 8;

// Inside a ".git" folder only the files directly in it (HEAD, index, packed-refs, ...) and the
// "refs" tree matter for a repository's status; objects, logs and hooks are left out.
const QString gitFolderName = QStringLiteral(".git");
const QString gitRefsFolderName = QStringLiteral("refs");

constexpr quint32 treeMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_MOVED_FROM
    | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_EXCL_UNLINK | IN_ONLYDIR;
// A folder on the way to a root: only its own removal or move matters.
constexpr quint32 ancestorMask = IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// The nearest existing folder above a missing root also waits for the next folder to appear.
constexpr quint32 guardMask = ancestorMask | IN_CREATE | IN_MOVED_TO;

QString childPath(const QString &folder, const QString &name)
{
    if (folder == QLatin1String("/"))
        return QLatin1Char('/') + name;
    return folder + QLatin1Char('/') + name;
}

// The folders above `path`, nearest first; none for a relative path.
QStringList ancestorsOf(const QString &path)
{
    QStringList ancestors;
    if (!path.startsWith(QLatin1Char('/')))
        return ancestors;
    QString current = path;
    while (current != QLatin1String("/")) {
        const qsizetype slash = current.lastIndexOf(QLatin1Char('/'));
        current = slash <= 0 ? QStringLiteral("/") : current.left(slash);
        ancestors.append(current);
    }
    return ancestors;
}

bool isDirectory(const QString &path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool isSkippedFolder(const QString &parent, const QString &name)
{
    if (isSkippedFolderName(name))
        return true;
    const bool parentIsGitFolder = parent == gitFolderName
        || parent.endsWith(QLatin1Char('/') + gitFolderName);
    return parentIsGitFolder && name != gitRefsFolderName;
}

} // namespace

FileSystemWatchSession::FileSystemWatchSession(FileSystemWatchSettings settings,
                                               Delivery delivery)
    : m_settings(std::move(settings))
    , m_delivery(std::move(delivery))
    , m_watches(m_settings.watchLimit, treeMask)
    , m_batch(m_settings.roots, m_settings.latency)
{
}

FileSystemWatchSession::~FileSystemWatchSession()
{
    if (m_thread.joinable()) {
        m_stopping = true;
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeup, &one, sizeof one);
        m_thread.join();
    }
    // Closing the instance releases all its watches at once.
    if (m_inotify >= 0)
        ::close(m_inotify);
    if (m_wakeup >= 0)
        ::close(m_wakeup);
}

bool FileSystemWatchSession::start()
{
    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0) {
        m_errorMessage = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_watches.setInstance(m_inotify);
    m_wakeup = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeup < 0) {
        m_errorMessage = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_thread = std::thread([this] { run(); });
    return true;
}

void FileSystemWatchSession::injectQueueOverflow()
{
    m_overflowInjected = true;
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeup, &one, sizeof one);
}

int FileSystemWatchSession::watchesInUse()
{
    return FileSystemWatchTable::watchesInUse();
}

int FileSystemWatchSession::watchBudget()
{
    return FileSystemWatchTable::watchBudget();
}

void FileSystemWatchSession::run()
{
    for (const QString &path : m_settings.roots)
        m_roots.push_back(Root{path, false});

    bool idsWrapped = false;
    if (m_settings.since)
        idsWrapped = !FileSystemEventBatch::continueEventIdsAfter(*m_settings.since);
    synchronize(false);
    // Reported once the folders are watched, so a rescan by the caller misses nothing.
    if (m_settings.since)
        m_batch.addForEveryRoot(FileSystemEventFlag::mustScanSubDirs
                          | (idsWrapped ? FileSystemEventFlag::eventIdsWrapped : 0));

    while (!stopRequested()) {
        int timeout = -1;
        if (const auto &deadline = m_batch.deadline()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                *deadline - std::chrono::steady_clock::now());
            timeout = int(std::clamp<qint64>(left.count(), 0, std::numeric_limits<int>::max()));
        }
        std::array<pollfd, 2> descriptors{pollfd{m_inotify, POLLIN, 0},
                                          pollfd{m_wakeup, POLLIN, 0}};
        const int ready = ::poll(descriptors.data(), descriptors.size(), timeout);
        if (ready < 0 && errno != EINTR) {
            qCWarning(lcPlatform) << "File-system monitor stopped: poll failed:"
                                  << std::strerror(errno);
            return;
        }
        if (stopRequested())
            return;
        if (ready > 0 && (descriptors[1].revents & POLLIN)) {
            quint64 count = 0;
            [[maybe_unused]] const ssize_t drained = ::read(m_wakeup, &count, sizeof count);
        }
        if (m_overflowInjected.exchange(false))
            handleOverflow(FileSystemEventFlag::kernelDropped);
        if (ready > 0 && (descriptors[0].revents & POLLIN))
            readEvents();
        if (m_batch.deadline() && std::chrono::steady_clock::now() >= *m_batch.deadline())
            deliverPending();
    }
}

// Watches

// Watches `top` and every folder below it that is not skipped. readdir's entry types spare a
// stat per entry, which matters for trees of tens of thousands of folders.
FileSystemWatchSession::WalkResult FileSystemWatchSession::watchTree(const QString &top,
                                                                     bool topIsRoot,
                                                                     WalkReport report,
                                                                     QSet<int> *visited)
{
    std::vector<QString> folders{top};
    for (bool isTop = true; !folders.empty() && !stopRequested(); isTop = false) {
        const QString folder = std::move(folders.back());
        folders.pop_back();
        bool exhausted = false;
        const quint32 mask = treeMask | (isTop && topIsRoot ? 0 : IN_DONT_FOLLOW);
        const int watchesBefore = m_watches.count();
        const int descriptor = m_watches.add(folder, mask, true, &exhausted);
        if (descriptor < 0) {
            if (exhausted) {
                noteBudgetExhausted(folder);
                return WalkResult::budgetExhausted;
            }
            if (isTop)
                return WalkResult::missing;
            continue; // removed meanwhile, or not readable: nothing to watch
        }
        if (visited)
            visited->insert(descriptor);
        const bool reportContents = report == WalkReport::everything
            || (report == WalkReport::unwatchedFolders && m_watches.count() > watchesBefore);
        if (reportContents && report == WalkReport::unwatchedFolders && !isTop)
            m_batch.add(folder, FileSystemEventFlag::itemCreated | FileSystemEventFlag::itemIsDir);

        DIR *directory = ::opendir(QFile::encodeName(folder).constData());
        if (!directory)
            continue;
        while (const dirent *entry = ::readdir(directory)) {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                continue;
            bool isFolder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat status = {};
                isFolder = ::fstatat(::dirfd(directory), entry->d_name, &status,
                                     AT_SYMLINK_NOFOLLOW) == 0
                    && S_ISDIR(status.st_mode);
            }
            const QString name = QFile::decodeName(entry->d_name);
            const QString path = childPath(folder, name);
            if (reportContents) {
                m_batch.add(path, FileSystemEventFlag::itemCreated
                                     | (isFolder ? FileSystemEventFlag::itemIsDir
                                                 : FileSystemEventFlag::itemIsFile));
            }
            if (isFolder && !isSkippedFolder(folder, name))
                folders.push_back(path);
        }
        ::closedir(directory);
    }
    return WalkResult::complete;
}

// A folder that appeared in a watched tree: watch it and what it holds, and report its
// contents, which may have been filled before its watch existed.
void FileSystemWatchSession::watchNewFolder(const QString &path)
{
    if (watchTree(path, false, WalkReport::everything, nullptr) == WalkResult::budgetExhausted)
        m_batch.add(path, FileSystemEventFlag::mustScanSubDirs | FileSystemEventFlag::userDropped);
}

// Brings every watch in line with the file system: each present root's tree, and the folders
// on the way to each root. Watches nothing reaches any more are released. Used at the start,
// after a queue overflow and after a root or a folder above one changed.
void FileSystemWatchSession::synchronize(bool reportAppearingRoots)
{
    // A folder on the way to a missing root made between looking and adding the watch that
    // waits for it would go unseen: look again once the watches are in place.
    for (int round = 0; round < maximumSynchronizationRounds && !stopRequested(); ++round) {
        // Two statements: the look must come after the round (operands of == are unordered).
        const QStringList watchedShape = synchronizeOnce(reportAppearingRoots);
        if (watchedShape == rootShape())
            return;
    }
}

// For each root: empty when it is a folder, else the nearest existing folder above it.
QStringList FileSystemWatchSession::rootShape() const
{
    QStringList shape;
    for (const Root &root : m_roots) {
        QString nearest;
        if (!isDirectory(root.path)) {
            const QStringList ancestors = ancestorsOf(root.path);
            const auto found = std::find_if(ancestors.cbegin(), ancestors.cend(), isDirectory);
            nearest = found == ancestors.cend() ? QStringLiteral("-") : *found;
        }
        shape.append(nearest);
    }
    return shape;
}

// One round of synchronize(); returns the shape of the roots it set the watches up for.
QStringList FileSystemWatchSession::synchronizeOnce(bool reportAppearingRoots)
{
    QSet<int> visited;
    for (Root &root : m_roots) {
        const bool wasPresent = root.present;
        const bool report = reportAppearingRoots && !wasPresent;
        const WalkResult result = isDirectory(root.path)
            ? watchTree(root.path, true, report ? WalkReport::everything : WalkReport::nothing,
                        &visited)
            : WalkResult::missing;
        if (stopRequested())
            return {};
        root.present = result != WalkResult::missing;
        if (result == WalkResult::budgetExhausted) {
            m_batch.add(root.path,
                       FileSystemEventFlag::mustScanSubDirs | FileSystemEventFlag::userDropped);
        }
        if (report && root.present)
            m_batch.add(root.path, FileSystemEventFlag::rootChanged);
    }

    QStringList shape;
    QHash<QString, quint32> wanted;
    for (const Root &root : m_roots) {
        bool needsGuard = !root.present;
        QString nearest = root.present ? QString() : QStringLiteral("-");
        for (const QString &ancestor : ancestorsOf(root.path)) {
            if (!isDirectory(ancestor))
                continue;
            if (needsGuard)
                nearest = ancestor;
            wanted[ancestor] |= needsGuard ? guardMask : ancestorMask;
            needsGuard = false;
        }
        shape.append(nearest);
    }
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        const int treeDescriptor = m_watches.descriptorOf(it.key());
        const auto treeFolder = m_watches.find(treeDescriptor);
        if (visited.contains(treeDescriptor) && treeFolder && treeFolder->inTree)
            continue;
        bool exhausted = false;
        const int descriptor = m_watches.add(it.key(), it.value(), false, &exhausted);
        if (descriptor >= 0)
            visited.insert(descriptor);
        else if (exhausted)
            noteBudgetExhausted(it.key());
    }

    m_watches.forgetAllBut(visited);
    return shape;
}

void FileSystemWatchSession::noteBudgetExhausted(const QString &path)
{
    if (m_budgetWarningLogged)
        return;
    m_budgetWarningLogged = true;
    qCWarning(lcPlatform).noquote()
        << QStringLiteral("File-system monitor: no inotify watch left (%1 in use, budget %2 of "
                          "the user's %3, this monitor's limit %4); changes below %5 are not "
                          "seen")
               .arg(QString::number(watchesInUse()), QString::number(watchBudget()),
                    QString::number(FileSystemWatchTable::userWatchLimit()),
                    QString::number(m_settings.watchLimit),
                    path);
}

// Events

void FileSystemWatchSession::readEvents()
{
    alignas(inotify_event) std::array<char, readBufferSize> buffer;
    for (int reads = 1;; ++reads) {
        const ssize_t size = ::read(m_inotify, buffer.data(), buffer.size());
        if (size < 0 && errno == EINTR)
            continue;
        if (size <= 0)
            break; // drained
        for (ssize_t offset = 0; offset < size;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer.data() + offset);
            const QString name = event->len > 0 ? QFile::decodeName(event->name) : QString();
            handleEvent(event->wd, event->mask, event->cookie, name);
            offset += ssize_t(sizeof(inotify_event) + event->len);
        }
        if (stopRequested())
            return;
        // A folder's move arrives as two events; the second is read before leaving.
        if (reads >= readsPerTurn && !m_pendingMove)
            return;
    }
    // A move whose second half never came took the folder out of the watched trees.
    finishPendingMove();
}

void FileSystemWatchSession::handleEvent(int descriptor, quint32 mask, quint32 cookie,
                                         const QString &name)
{
    namespace Flag = FileSystemEventFlag;
    if (mask & IN_Q_OVERFLOW) {
        handleOverflow(Flag::kernelDropped);
        return;
    }
    const bool completesMove =
        (mask & IN_MOVED_TO) && m_pendingMove && m_pendingMove->cookie == cookie;
    if (!completesMove)
        finishPendingMove();

    const std::optional<FileSystemWatchTable::Directory> found = m_watches.find(descriptor);
    if (!found)
        return; // a watch already given up
    const FileSystemWatchTable::Directory directory = *found;
    if (mask & IN_IGNORED) {
        m_watches.forget(descriptor, false);
        return;
    }
    if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
        // A folder's own removal or move is reported through its parent; it matters here only
        // for the roots at or below it.
        handleRootsAffectedBy(directory.path);
        return;
    }
    if (name.isEmpty())
        return;
    const QString path = childPath(directory.path, name);
    const bool isFolder = mask & IN_ISDIR;
    if (!directory.inTree) {
        // Any kind of item: a root may appear as a link to a folder.
        if ((mask & (IN_CREATE | IN_MOVED_TO)) && missingRootAtOrBelow(path))
            synchronize(true);
        return;
    }

    const quint32 kind = isFolder ? Flag::itemIsDir : Flag::itemIsFile;
    if (mask & IN_CREATE)
        m_batch.add(path, Flag::itemCreated | kind);
    if (mask & IN_DELETE)
        m_batch.add(path, Flag::itemRemoved | kind);
    if (mask & IN_MODIFY)
        m_batch.add(path, Flag::itemModified | kind);
    if (mask & IN_ATTRIB)
        m_batch.add(path, Flag::itemInodeMetaMod | kind);
    if (mask & (IN_MOVED_FROM | IN_MOVED_TO))
        m_batch.add(path, Flag::itemRenamed | kind);
    if (!isFolder)
        return;

    if (mask & IN_MOVED_FROM) {
        m_pendingMove = PendingMove{cookie, path};
        return;
    }
    if (completesMove) {
        const QString from = m_pendingMove->path;
        m_pendingMove.reset();
        if (isSkippedFolder(directory.path, name)) {
            m_watches.forgetTree(from);
        } else if (m_watches.descriptorOf(from) >= 0) {
            m_watches.moveTree(from, path);
            // Events are read after the fact: a folder made in it before the move was gone
            // from its old path when its creation was read, so it has no watch yet.
            if (watchTree(path, false, WalkReport::unwatchedFolders, nullptr)
                == WalkResult::budgetExhausted) {
                m_batch.add(path, Flag::mustScanSubDirs | Flag::userDropped);
            }
        } else {
            // The folder itself was made or moved in under its old name and renamed before
            // its watch could be added there.
            watchNewFolder(path);
        }
        if (!handleRootsAffectedBy(from) && missingRootAtOrBelow(path))
            synchronize(true);
        return;
    }
    if (mask & (IN_CREATE | IN_MOVED_TO)) {
        if (!isSkippedFolder(directory.path, name))
            watchNewFolder(path);
        if (missingRootAtOrBelow(path))
            synchronize(true);
    }
}

// Reports every root at or below `path` as changed and re-synchronises the watches; returns
// whether there was such a root.
bool FileSystemWatchSession::handleRootsAffectedBy(const QString &path)
{
    bool affected = false;
    for (const Root &root : m_roots) {
        if (isAtOrBelow(root.path, path)) {
            m_batch.add(root.path, FileSystemEventFlag::rootChanged);
            affected = true;
        }
    }
    if (affected)
        synchronize(true);
    return affected;
}

bool FileSystemWatchSession::missingRootAtOrBelow(const QString &path) const
{
    return std::any_of(m_roots.begin(), m_roots.end(), [&](const Root &root) {
        return !root.present && isAtOrBelow(root.path, path);
    });
}

void FileSystemWatchSession::finishPendingMove()
{
    if (!m_pendingMove)
        return;
    const QString from = m_pendingMove->path;
    m_pendingMove.reset();
    m_watches.forgetTree(from);
    handleRootsAffectedBy(from);
}

// Events were lost: every root must be rescanned, and the watches may have missed folders
// created, moved or removed meanwhile.
void FileSystemWatchSession::handleOverflow(quint32 reason)
{
    m_pendingMove.reset();
    m_batch.addForEveryRoot(FileSystemEventFlag::mustScanSubDirs | reason);
    synchronize(false);
}

void FileSystemWatchSession::deliverPending()
{
    QList<FileSystemEvent> batch = m_batch.take();
    if (!batch.isEmpty())
        m_delivery(std::move(batch));
}

} // namespace tolvaran::Internal
