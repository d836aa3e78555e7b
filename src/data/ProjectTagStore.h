#pragma once

#include "data/ProjectTagSnapshot.h"

#include <QString>

namespace tolvaran {

class KeyValueStore;

// The user's tags, kept as one JSON value in the user defaults, and the key of the flag that
// says whether the tag sidebar is shown (which the coordinator reads and writes directly).
// The store loads and saves whole snapshots only; it has no state of its own beyond the keys
// and relies on the key-value store being safe to use from any thread.
class ProjectTagStore final
{
public:
    explicit ProjectTagStore(KeyValueStore &defaults);
    ProjectTagStore(const ProjectTagStore &) = delete;
    ProjectTagStore &operator=(const ProjectTagStore &) = delete;

    KeyValueStore &defaults() const { return m_defaults; }
    const QString &snapshotKey() const { return m_snapshotKey; }
    const QString &sidebarVisibilityKey() const { return m_sidebarVisibilityKey; }

    // The saved tags sorted in tag order, and their assignments without unknown tag ids,
    // empty sets or an empty path. Never fails: nothing saved, or a value that cannot be
    // decoded, gives the empty snapshot (the latter is logged and left in place).
    ProjectTagSnapshot loadSnapshot() const;

    // Replaces the saved value with `snapshot`. Throws ProjectTagError::storageFailure, and
    // writes nothing, while the saved value cannot be decoded: overwriting it would lose every
    // tag the user has, so it stays until it is repaired or removed.
    void save(const ProjectTagSnapshot &snapshot);

private:
    KeyValueStore &m_defaults;
    const QString m_snapshotKey;
    const QString m_sidebarVisibilityKey;
};

} // namespace tolvaran
