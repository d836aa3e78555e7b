#pragma once

#include "data/catalog/ProjectTagSnapshot.h"

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
    // empty sets or an empty path. Never fails and never writes: nothing saved, or a value
    // that cannot be decoded, gives the empty snapshot (the latter is logged and left in
    // place until the next save).
    ProjectTagSnapshot loadSnapshot() const;

    // Replaces the saved value with `snapshot`. A saved value that cannot be decoded is first
    // copied, as it is, to a new file beside the settings file
    // ("projectTags.snapshot.v1.damaged-<UTC time>", logged), so the user's tags can still be
    // recovered from it. Throws ProjectTagError::storageFailure, and writes nothing, when that
    // copy cannot be written.
    void save(const ProjectTagSnapshot &snapshot);

private:
    KeyValueStore &m_defaults;
    const QString m_snapshotKey;
    const QString m_sidebarVisibilityKey;
};

} // namespace tolvaran
