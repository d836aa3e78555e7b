#include "coordinator/actions/ProjectTagEditing.h"

#include "data/catalog/ProjectTagError.h"
#include "platform/Graphemes.h"

#include <algorithm>

namespace tolvaran::ProjectTagEditing {

namespace {

// Whether a tag other than `exceptID` is already called `name`. Letter case is ignored, but
// not the locale: the same rule everywhere, whatever language the desktop speaks.
bool nameIsTaken(const QList<ProjectTag> &tags, const QString &name,
                 const std::optional<QUuid> &exceptID = std::nullopt)
{
    return std::any_of(tags.cbegin(), tags.cend(), [&](const ProjectTag &tag) {
        return tag.id != exceptID && tag.name.compare(name, Qt::CaseInsensitive) == 0;
    });
}

bool hasTag(const ProjectTagSnapshot &state, const QUuid &tagID)
{
    return std::any_of(state.tags.cbegin(), state.tags.cend(),
                       [&tagID](const ProjectTag &tag) { return tag.id == tagID; });
}

} // namespace

QString validatedTagName(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        throw ProjectTagError(ProjectTagError::Kind::emptyName);
    if (graphemeCount(trimmed) > maximumNameLength)
        throw ProjectTagError(ProjectTagError::Kind::nameTooLong);
    return trimmed;
}

ProjectTagSnapshot addingTag(const ProjectTagSnapshot &state, const QString &name)
{
    const QString validated = validatedTagName(name);
    if (nameIsTaken(state.tags, validated))
        throw ProjectTagError(ProjectTagError::Kind::duplicateName);
    ProjectTagSnapshot next = state;
    next.tags.append(ProjectTag{QUuid::createUuid(), validated});
    sortInTagOrder(next.tags);
    return next;
}

std::optional<ProjectTagSnapshot> renamingTag(const ProjectTagSnapshot &state,
                                              const QUuid &tagID, const QString &name)
{
    const QString validated = validatedTagName(name);
    if (nameIsTaken(state.tags, validated, tagID))
        throw ProjectTagError(ProjectTagError::Kind::duplicateName);
    ProjectTagSnapshot next = state;
    const auto tag = std::find_if(next.tags.begin(), next.tags.end(),
                                  [&tagID](const ProjectTag &t) { return t.id == tagID; });
    if (tag == next.tags.end())
        return std::nullopt;
    tag->name = validated;
    sortInTagOrder(next.tags);
    return next;
}

ProjectTagSnapshot deletingTag(const ProjectTagSnapshot &state, const QUuid &tagID)
{
    ProjectTagSnapshot next;
    for (const ProjectTag &tag : state.tags) {
        if (tag.id != tagID)
            next.tags.append(tag);
    }
    for (auto it = state.projectTagIDsByPath.cbegin(); it != state.projectTagIDsByPath.cend();
         ++it) {
        QSet<QUuid> ids = it.value();
        ids.remove(tagID);
        if (!ids.isEmpty())
            next.projectTagIDsByPath.insert(it.key(), ids);
    }
    return next;
}

std::optional<ProjectTagSnapshot> togglingTag(const ProjectTagSnapshot &state,
                                              const QUuid &tagID, const QString &path)
{
    if (!hasTag(state, tagID))
        return std::nullopt;
    ProjectTagSnapshot next = state;
    QSet<QUuid> ids = next.projectTagIDsByPath.value(path);
    if (!ids.remove(tagID))
        ids.insert(tagID);
    if (ids.isEmpty())
        next.projectTagIDsByPath.remove(path);
    else
        next.projectTagIDsByPath.insert(path, ids);
    return next;
}

ProjectTagSnapshot assigningTag(const ProjectTagSnapshot &state, const QUuid &tagID,
                                const QString &path)
{
    ProjectTagSnapshot next = state;
    next.projectTagIDsByPath[path].insert(tagID);
    return next;
}

ProjectTagStatus projectStatus(const QList<CodexProject> &projects,
                               const ProjectTagSnapshot &state,
                               const std::optional<QUuid> &tagID)
{
    ProjectTagStatus status;
    for (const CodexProject &project : projects) {
        if (tagID && !state.projectTagIDsByPath.value(project.path()).contains(*tagID))
            continue;
        ++status.totalCount;
        if (project.notificationCount() >= 1)
            ++status.unreadProjectCount;
        if (!project.processingThreadIDs().isEmpty())
            ++status.processingProjectCount;
    }
    return status;
}

QList<ProjectTag> tagsForProjectPath(const ProjectTagSnapshot &state, const QString &path)
{
    const QSet<QUuid> ids = state.projectTagIDsByPath.value(path);
    QList<ProjectTag> tags;
    if (ids.isEmpty())
        return tags;
    for (const ProjectTag &tag : state.tags) {
        if (ids.contains(tag.id))
            tags.append(tag);
    }
    return tags;
}

} // namespace tolvaran::ProjectTagEditing
