#pragma once

#include "data/catalog/CodexProject.h"

#include <QList>
#include <QSet>
#include <QString>

namespace tolvaran {

// Changes of one project's pin or unread chats in a published list, made by rebuilding only
// the projects concerned. A rebuilt project keeps its name and its last activity time (a
// project known only to the catalog has no threads to derive that time from), and every other
// project stays exactly as it was, in place.
namespace ProjectListEdits {

// The project at `path` with its pin set to `pinned`.
QList<CodexProject> withPin(const QList<CodexProject> &projects, const QString &path,
                            bool pinned);

// Every project pinned exactly when its path is in `pinnedPaths`.
QList<CodexProject> withPinnedPaths(const QList<CodexProject> &projects,
                                    const QSet<QString> &pinnedPaths);

// The project at `path` without `threadID` among its unread chats.
QList<CodexProject> withThreadRead(const QList<CodexProject> &projects, const QString &path,
                                   const QString &threadID);

// `project` built again from its own values with the pin and unread chats given.
CodexProject rebuilt(const CodexProject &project, bool isPinned,
                     const QSet<QString> &unreadThreadIDs);

} // namespace ProjectListEdits
} // namespace tolvaran
