#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tolvaran::fixtures {

// The seed inputs of the fuzz targets, built from the same fixture builders the tests use, so
// that the fuzzer starts from files shaped like Codex's and git's real ones.
class FuzzCorpus final
{
public:
    // The names of the targets that have a corpus ("rollout_lines", "session_index",
    // "global_state", "git_status").
    static QStringList targetNames();

    // The seeds of one target; empty for an unknown name.
    static QList<QByteArray> seeds(const QString &targetName);

    // Writes each seed of the target to its own file in `folder` (created); false when the
    // name is unknown or a file could not be written.
    static bool write(const QString &targetName, const QString &folder);
};

} // namespace tolvaran::fixtures
