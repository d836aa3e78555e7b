#pragma once

#include "work/FileDescriptor.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <mutex>
#include <optional>

#include <sys/types.h>

namespace tolvaran {

// A new file beside one that it is to replace, which its writer holds under an exclusive
// flock(2) from just after its creation until the writer closes it, after the rename. The lock
// goes with the writer's process, so the file of a writer killed in the middle is left behind
// unlocked, and removeStale tells such leftovers from files still being written, whether
// their writer is in this process or another.
class LockedTemporaryFile final
{
public:
    // Creates a file at a path `drawPath` gives (drawing again when one exists already),
    // private from the moment it exists and then given `mode`, and locks it. Nothing when
    // that fails.
    static std::optional<LockedTemporaryFile> create(const std::function<QString()> &drawPath,
                                                     mode_t mode);

    // Deletes the regular files in `folder` whose names `isOurs` accepts and that no writer
    // holds: what killed writers left.
    static void removeStale(const QString &folder,
                            const std::function<bool(const QString &name)> &isOurs);

    // While the returned lock is held, no sweep of this process runs: for a writer whose
    // file's name holds, for a moment, a file it has not locked (what an exchange displaced).
    // The holder creates no file and sweeps no folder meanwhile.
    [[nodiscard]] static std::unique_lock<std::mutex> holdOffSweeps();

    const QString &path() const { return m_path; }
    int descriptor() const { return m_file.get(); }

    // Writes all of `contents` and syncs the file to disk; false on any failure.
    bool writeAndSync(const QByteArray &contents) const;

private:
    LockedTemporaryFile(QString path, FileDescriptor file);

    QString m_path;
    FileDescriptor m_file;
};

} // namespace tolvaran
