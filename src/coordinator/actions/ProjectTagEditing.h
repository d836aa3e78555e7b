#pragma once

#include "coordinator/actions/ProjectTagStatus.h"
#include "data/catalog/CodexProject.h"
#include "data/catalog/ProjectTagSnapshot.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace tolvaran {

// The rules of the user's tag edits, as pure functions from one tag state to the next. Names
// are checked here; publishing and saving the result is the coordinator's business. Every
// result keeps the tags in tag order and never maps a path to an empty set.
namespace ProjectTagEditing {

// A tag name holds at most this many characters (grapheme clusters) after trimming.
inline constexpr qsizetype maximumNameLength = 40;

// `name` trimmed of white space and line breaks. Throws ProjectTagError emptyName or
// nameTooLong.
QString validatedTagName(const QString &name);

// `state` with a new tag named `name` (validated). Throws ProjectTagError, duplicateName when
// a tag's name equals it ignoring letter case.
ProjectTagSnapshot addingTag(const ProjectTagSnapshot &state, const QString &name);

// `state` with tag `tagID` renamed; none when there is no such tag. The name is checked first
// (throws as addingTag does), against every other tag: changing only the letter case of a
// tag's own name is allowed.
std::optional<ProjectTagSnapshot> renamingTag(const ProjectTagSnapshot &state,
                                              const QUuid &tagID, const QString &name);

// `state` without tag `tagID` and without every assignment of it (unchanged for an unknown
// tag).
ProjectTagSnapshot deletingTag(const ProjectTagSnapshot &state, const QUuid &tagID);

// `state` with tag `tagID` put on the project at `path` (exactly as given) or taken off it;
// none when there is no such tag.
std::optional<ProjectTagSnapshot> togglingTag(const ProjectTagSnapshot &state,
                                              const QUuid &tagID, const QString &path);

// `state` with tag `tagID` put on the project at `path` (nothing changes when it has it).
ProjectTagSnapshot assigningTag(const ProjectTagSnapshot &state, const QUuid &tagID,
                                const QString &path);

// The counts of a sidebar row over all `projects`: every project without a tag, else those
// whose path carries the tag.
ProjectTagStatus projectStatus(const QList<CodexProject> &projects,
                               const ProjectTagSnapshot &state,
                               const std::optional<QUuid> &tagID);

// The tags of the project at `path`, in tag order.
QList<ProjectTag> tagsForProjectPath(const ProjectTagSnapshot &state, const QString &path);

} // namespace ProjectTagEditing
} // namespace tolvaran
