#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QUuid>

namespace tolvaran {

// One of the user's own tags. The id is made when the tag is created and never changes; the
// name is shown as the user typed it, trimmed.
struct ProjectTag
{
    QUuid id;
    QString name;

    friend bool operator==(const ProjectTag &, const ProjectTag &) = default;
};

inline size_t qHash(const ProjectTag &tag, size_t seed = 0) noexcept
{
    return qHashMulti(seed, tag.id, tag.name);
}

// Puts `tags` in the order the sidebar shows them: by name, ascending, locale-aware and
// ignoring letter case. The sort is stable, so names that compare equal keep their order.
void sortInTagOrder(QList<ProjectTag> &tags);

} // namespace tolvaran
