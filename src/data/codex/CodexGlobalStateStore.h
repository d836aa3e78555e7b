#pragma once

#include "data/codex/CodexGlobalStateSnapshot.h"
#include "data/codex/CodexGlobalStateStoreError.h"

#include <QSet>
#include <QString>

#include <chrono>
#include <functional>

namespace tolvaran {

// Reads and rewrites Codex's global-state file (".codex-global-state.json" in Codex's folder):
// which projects are pinned, which chats are unread, and Codex's own project records. Codex
// may rewrite the file at any moment, so every change re-reads it just before replacing it and
// starts again when it changed in between; the file is always written whole, with sorted keys,
// atomically, with its mode kept, and through a symbolic link to the link's target. Members
// the store does not know, at any level, are written back as they were read.
//
// No cache and no lock: every operation reads the file anew, on the caller's thread. Any
// failure leaves the file exactly as it was. Operations throw CodexGlobalStateStoreError.
class CodexGlobalStateStore final
{
public:
    // A change that finds the file changed by someone else this many times in a row gives up.
    static constexpr int maximumUpdateAttempts = 3;
    // The largest file read (Codex's own is some kilobytes); a larger one fails to read.
    static constexpr qint64 maximumFileBytes = 32 * 1024 * 1024;
    // The wait before reading again a file that was not JSON, in case Codex was writing it. A
    // file that reads the same after it is taken as damaged, so the wait must outlast a write
    // in place on a busy machine; it is only ever paid for a file that did not parse.
    static constexpr std::chrono::milliseconds tornReadPause{150};
    // A project name holds 1 to this many characters (grapheme clusters) after trimming.
    static constexpr qsizetype maximumProjectNameLength = 80;

    // `beforeFinalCompare` is called during every write attempt after the new contents are in
    // their temporary file and before the file is compared with what the attempt read;
    // `beforeSwap` after that comparison found the file unchanged, just before ours replaces
    // it. Tests play a concurrent writer there. Touches no file.
    explicit CodexGlobalStateStore(QString statePath,
                                   std::function<void()> beforeFinalCompare = {},
                                   std::function<void()> beforeSwap = {});

    const QString &statePath() const { return m_statePath; }

    // Pins, unread chats and project records. A pinned list that still names folders of
    // known Codex projects, or names one twice, is rewritten once in reconciled form (ids in
    // place of their folders, each entry once). A missing file gives an empty snapshot.
    CodexGlobalStateSnapshot loadSnapshot() const;

    // Pins the folder (moving it to the front of the list, as the ids of the Codex projects
    // rooted there when there are any) or unpins it (removing every entry that stands for it).
    // Returns the pinned folders afterwards. Pinning with no file creates it.
    QSet<QString> setPinnedProjectPath(const QString &path, bool pinned) const;

    // Renames Codex's project record `projectID`; writes nothing when the name is unchanged.
    void setProjectName(const QString &projectID, const QString &name) const;

    // Removes the thread from Codex's local unread list; writes nothing when it is not there.
    void markThreadRead(const QString &threadID) const;

private:
    template <typename Result, typename Edit>
    Result updateState(Edit &&edit) const;

    const QString m_statePath;
    const std::function<void()> m_beforeFinalCompare;
    const std::function<void()> m_beforeSwap;
};

} // namespace tolvaran
