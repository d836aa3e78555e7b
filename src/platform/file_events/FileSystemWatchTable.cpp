#include "platform/file_events/FileSystemWatchTable.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include <sys/inotify.h>

namespace tolvaran::Internal {

namespace {

// The user's inotify watch limit, and what part of it the program leaves to other programs
// (editors, file managers, other watchers of the same trees): a quarter, and never less than
// the minimum below.
const char watchLimitFile[] = "/proc/sys/fs/inotify/max_user_watches";
constexpr int fallbackWatchLimit = 8192; // the kernel's smallest default
constexpr int reservedWatchShare = 4;
constexpr int minimumReservedWatches = 1024;

std::atomic<int> watchesInUseByProcess = 0;

} // namespace

bool isAtOrBelow(const QString &path, const QString &top)
{
    if (top == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path.startsWith(top)
        && (path.size() == top.size() || path.at(top.size()) == QLatin1Char('/'));
}

FileSystemWatchTable::FileSystemWatchTable(int watchLimit, quint32 treeMask)
    : m_watchLimit(watchLimit)
    , m_treeMask(treeMask)
{
}

FileSystemWatchTable::~FileSystemWatchTable()
{
    watchesInUseByProcess -= m_count;
}

int FileSystemWatchTable::watchesInUse()
{
    return watchesInUseByProcess;
}

int FileSystemWatchTable::watchBudget()
{
    const int limit = userWatchLimit();
    return std::max(0, limit - std::max(limit / reservedWatchShare, minimumReservedWatches));
}

int FileSystemWatchTable::userWatchLimit()
{
    static const int limit = [] {
        QFile file(QString::fromLatin1(watchLimitFile));
        bool ok = false;
        int value = 0;
        if (file.open(QIODevice::ReadOnly))
            value = file.readAll().trimmed().toInt(&ok);
        return ok && value > 0 ? value : fallbackWatchLimit;
    }();
    return limit;
}

bool FileSystemWatchTable::takeFromBudget()
{
    if (m_count >= m_watchLimit)
        return false;
    if (watchesInUseByProcess.fetch_add(1) + 1 > watchBudget()) {
        --watchesInUseByProcess;
        return false;
    }
    return true;
}

int FileSystemWatchTable::add(const QString &path, quint32 mask, bool inTree,
                              bool *budgetExhausted)
{
    if (!takeFromBudget()) {
        *budgetExhausted = true;
        return -1;
    }
    const int descriptor =
        ::inotify_add_watch(m_inotify, QFile::encodeName(path).constData(), mask);
    if (descriptor < 0) {
        const int error = errno;
        --watchesInUseByProcess;
        // ENOSPC: the user's limit is reached, other programs took the share left to them.
        *budgetExhausted = error == ENOSPC || error == ENOMEM;
        return -1;
    }
    const auto known = m_directories.find(descriptor);
    if (known == m_directories.end()) {
        m_directories.insert(descriptor, Directory{path, inTree});
        m_descriptorsByPath.insert(path, descriptor);
        ++m_count;
        return descriptor;
    }
    // The kernel already watched this folder for us (under the same path, or under one that
    // has gone stale); no new watch was made.
    --watchesInUseByProcess;
    if (known->inTree && !inTree) {
        // One folder reached as a tree folder and as a folder on the way to a root (through a
        // link): the narrower mask just replaced the tree's, so give the tree its mask back.
        ::inotify_add_watch(m_inotify, QFile::encodeName(known->path).constData(), m_treeMask);
        return descriptor;
    }
    if (known->path != path) {
        if (m_descriptorsByPath.value(known->path, -1) == descriptor)
            m_descriptorsByPath.remove(known->path);
        known->path = path;
    }
    known->inTree = known->inTree || inTree;
    m_descriptorsByPath.insert(path, descriptor);
    return descriptor;
}

void FileSystemWatchTable::forget(int descriptor, bool removeFromKernel)
{
    const auto found = m_directories.find(descriptor);
    if (found == m_directories.end())
        return;
    if (removeFromKernel)
        ::inotify_rm_watch(m_inotify, descriptor);
    if (m_descriptorsByPath.value(found->path, -1) == descriptor)
        m_descriptorsByPath.remove(found->path);
    m_directories.erase(found);
    --m_count;
    --watchesInUseByProcess;
}

void FileSystemWatchTable::moveTree(const QString &from, const QString &to)
{
    QList<int> moved;
    for (auto it = m_directories.cbegin(); it != m_directories.cend(); ++it) {
        if (isAtOrBelow(it->path, from))
            moved.append(it.key());
    }
    for (const int descriptor : moved) {
        Directory &directory = m_directories[descriptor];
        if (m_descriptorsByPath.value(directory.path, -1) == descriptor)
            m_descriptorsByPath.remove(directory.path);
        directory.path = to + directory.path.mid(from.size());
        m_descriptorsByPath.insert(directory.path, descriptor);
    }
}

void FileSystemWatchTable::forgetTree(const QString &top)
{
    QList<int> gone;
    for (auto it = m_directories.cbegin(); it != m_directories.cend(); ++it) {
        if (it->inTree && isAtOrBelow(it->path, top))
            gone.append(it.key());
    }
    for (const int descriptor : gone)
        forget(descriptor, true);
}

void FileSystemWatchTable::forgetAllBut(const QSet<int> &kept)
{
    QList<int> unreached;
    for (auto it = m_directories.cbegin(); it != m_directories.cend(); ++it) {
        if (!kept.contains(it.key()))
            unreached.append(it.key());
    }
    for (const int descriptor : unreached)
        forget(descriptor, true);
}

std::optional<FileSystemWatchTable::Directory> FileSystemWatchTable::find(int descriptor) const
{
    const auto found = m_directories.constFind(descriptor);
    if (found == m_directories.cend())
        return std::nullopt;
    return *found;
}

} // namespace tolvaran::Internal
