#pragma once

#include <QString>
#include <QtGlobal>

namespace tolvaran {

// One change the file-system event monitor reports: the full path of the changed item (the
// watched root as given, followed by the path below it), the event id and what happened.
struct FileSystemEvent
{
    QString path;
    // Event ids only grow: within a process across every monitor, and across launches for a
    // caller that stores the last id it saw and starts again "since" it. They stay below 2^53,
    // so a store that keeps them as JSON numbers keeps them exactly.
    quint64 id = 0;
    quint32 flags = 0; // FileSystemEventFlag bits

    friend bool operator==(const FileSystemEvent &, const FileSystemEvent &) = default;
};

// The bits of FileSystemEvent::flags. Several may be set at once: changes to one path within
// one delivery are merged into one event whose flags are the union of the changes.
namespace FileSystemEventFlag {

// Changes at or below `path` may have been missed: the caller must rescan it rather than trust
// the paths it was given. Sent for each root when a start cannot replay the changes since a
// stored id, and with one of the three bits below when events were lost.
inline constexpr quint32 mustScanSubDirs = 0x0000'0001;
// Events were dropped by the monitor itself: too many were waiting for delivery, or a folder
// could not be watched because the watch budget was used up.
inline constexpr quint32 userDropped = 0x0000'0002;
// The kernel's event queue overflowed and dropped events.
inline constexpr quint32 kernelDropped = 0x0000'0004;
// A stored id was beyond the range of ids; ids started again below it, so stored ids can no
// longer be compared with new ones.
inline constexpr quint32 eventIdsWrapped = 0x0000'0008;
// Any of the four bits above: the event asks for a rescan of its path.
inline constexpr quint32 rescanRequired =
    mustScanSubDirs | userDropped | kernelDropped | eventIdsWrapped;

// A watched root, or a folder on the way to it, was created, removed or moved: `path` is the
// root as given to the monitor.
inline constexpr quint32 rootChanged = 0x0000'0020;

// What happened to the item at `path`.
inline constexpr quint32 itemCreated = 0x0000'0100;
inline constexpr quint32 itemRemoved = 0x0000'0200;
inline constexpr quint32 itemInodeMetaMod = 0x0000'0400; // mode, owner, times, attributes
inline constexpr quint32 itemRenamed = 0x0000'0800;      // sent for the old and the new path
inline constexpr quint32 itemModified = 0x0000'1000;     // contents written

// What kind of item `path` names.
inline constexpr quint32 itemIsFile = 0x0001'0000; // anything but a folder, links included
inline constexpr quint32 itemIsDir = 0x0002'0000;

} // namespace FileSystemEventFlag

} // namespace tolvaran
