#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

namespace tolvaran::Internal {

// Whether `path` is `top` or lies below it.
bool isAtOrBelow(const QString &path, const QString &top);

// The inotify watches of one FileSystemWatchSession: the folder each watch stands for (kept
// in step as watched folders move), and whether it belongs to a watched tree or only lies on
// the way to a root. inotify watches are a per-user resource shared with every other program,
// so every table of the process draws from one budget below the user's limit, and each table
// from its own limit below that. Used on the session's thread only.
class FileSystemWatchTable final
{
public:
    struct Directory
    {
        QString path;
        bool inTree = false; // false: watched only as a folder on the way to a root
    };

    // `watchLimit`: at most this many watches. `treeMask`: the mask of a tree folder, given
    // back to one whose watch a narrower mask replaced.
    FileSystemWatchTable(int watchLimit, quint32 treeMask);
    // Gives the watches back to the budget; closing the instance releases them in the kernel.
    ~FileSystemWatchTable();
    FileSystemWatchTable(const FileSystemWatchTable &) = delete;
    FileSystemWatchTable &operator=(const FileSystemWatchTable &) = delete;

    // The inotify instance the watches are added to.
    void setInstance(int inotify) { m_inotify = inotify; }

    // Watches `path` with `mask` (or finds the watch the kernel already has for it) and returns
    // its descriptor. -1 when there is none: `*budgetExhausted` then says whether the budget or
    // the user's limit stood in the way, rather than a folder that is gone or unreadable.
    int add(const QString &path, quint32 mask, bool inTree, bool *budgetExhausted);
    // Forgets one watch; `removeFromKernel` is false for a watch the kernel dropped itself.
    void forget(int descriptor, bool removeFromKernel);
    // A watched folder moved within the watched trees: its watches follow the folder, so only
    // the paths they stand for change.
    void moveTree(const QString &from, const QString &to);
    // Forgets the tree watches at or below `top`.
    void forgetTree(const QString &top);
    // Forgets every watch whose descriptor is not in `kept`.
    void forgetAllBut(const QSet<int> &kept);

    std::optional<Directory> find(int descriptor) const;
    // The watch of `path`; -1 when none.
    int descriptorOf(const QString &path) const { return m_descriptorsByPath.value(path, -1); }
    int count() const { return m_count; }

    // The number of watches in use by every table of the process, the budget they share, and
    // the user's limit it is taken from.
    static int watchesInUse();
    static int watchBudget();
    static int userWatchLimit();

private:
    bool takeFromBudget();

    const int m_watchLimit;
    const quint32 m_treeMask;
    int m_inotify = -1;
    QHash<int, Directory> m_directories;
    QHash<QString, int> m_descriptorsByPath;
    int m_count = 0;
};

} // namespace tolvaran::Internal
