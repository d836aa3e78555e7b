#pragma once

#include "data/codex/CodexThread.h"
#include "platform/Timestamp.h"

#include <QList>
#include <QString>

namespace tolvaran::fixtures {

// The shape of a heavy user's Codex folder: many threads over many projects, and a long
// history of rollout files of every size, a few of them of tens of megabytes.
struct HeavyCodexShape
{
    int threadCount = 10000;
    int projectCount = 300;
    qint64 rolloutBytes = 2000ll << 20; // all rollout files together, about (they overshoot)
    int largeRolloutCount = 10;         // among the newest hundred threads
    qint64 largeRolloutBytes = 60ll << 20;
    int workers = 6; // files are written side by side
};

// A generated Codex folder (what ~/.codex holds) of that shape, written once and reused:
// generating gigabytes takes a while, so a folder that holds a completed generation of the
// same shape is used as it is. Every thread has a rollout file: the lines FakeCodexHome
// writes for a thread (its opening first, its last turns last), with a long history of
// requests, reasoning, tool calls and outputs and token counts between them.
class HeavyCodexHome final
{
public:
    // Generates into `folder` (created when missing) unless a completed generation of the
    // same shape is there. Throws std::runtime_error on a failure to write.
    HeavyCodexHome(const QString &folder, const HeavyCodexShape &shape = {});

    const QString &path() const { return m_path; }
    QString databasePath() const;
    QString sessionIndexPath() const;
    QString globalStatePath() const;
    bool wasGenerated() const { return m_generated; } // false: reused
    double generationSeconds() const { return m_seconds; }

    // Codex's threads as the program reads them (archived ones included), newest first.
    QList<CodexThread> threads() const;
    // Every rollout file, and their total size.
    QStringList rolloutPaths() const;
    qint64 rolloutBytes() const;

    // What a running Codex writes: the thread's row updated (its times set to `when`), and
    // one line appended to a rollout file.
    void touchThread(const QString &threadID, Timestamp when) const;
    static void appendRolloutLine(const QString &rolloutPath, Timestamp when);

private:
    void generate(const HeavyCodexShape &shape);

    QString m_path;
    bool m_generated = false;
    double m_seconds = 0.0;
};

} // namespace tolvaran::fixtures
