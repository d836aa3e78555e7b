#pragma once

#include <QHash>
#include <QList>
#include <QString>

namespace tolvaran {

// Tells a Codex turn that is still running from one whose process died. A killed Codex leaves
// "task_started" as the last task event of its rollout file, so the file alone would show the
// chat as working for a day. Two traces of a live Codex are visible from outside: the process
// keeps the thread's rollout file open, and it holds an exclusive flock on
// "<writer lock folder>/<thread id>.lock" (a process that ends normally removes that file; a
// killed one leaves it behind, unlocked).
//
// Both are read from /proc without taking any lock and without opening, creating or changing
// anything in Codex's folder: the open files of the user's own processes from
// /proc/<pid>/fd, the kernel's table of held locks from /proc/locks.
//
// Blocking (it reads /proc); safe from any thread. Holds no state between calls.
class CodexTurnLiveness final
{
public:
    enum class Verdict {
        alive,   // a process has the rollout open, or the thread's writer lock is held
        dead,    // neither, and at least one of the two could be checked in full
        unknown, // nothing could be checked: the rollout file alone must decide
    };

    struct Turn
    {
        QString threadID;
        QString rolloutPath;
    };

    // Checks nothing: every turn is unknown.
    CodexTurnLiveness() = default;
    // `writerLockDirectory`: Codex's "thread-writer-locks" folder (empty: no lock check);
    // `procRoot`: where the process file system is mounted (empty: no check through it).
    CodexTurnLiveness(QString writerLockDirectory, QString procRoot);

    // The check for a Codex folder, through the system's /proc.
    static CodexTurnLiveness forCodexHome(const QString &codexHome);
    static QString writerLockDirectoryName(); // "thread-writer-locks"

    bool checksAnything() const { return !m_procRoot.isEmpty(); }

    // One verdict per thread id of `turns`. /proc is read once for all of them.
    QHash<QString, Verdict> verdicts(const QList<Turn> &turns) const;

private:
    QString m_writerLockDirectory;
    QString m_procRoot;
};

} // namespace tolvaran
