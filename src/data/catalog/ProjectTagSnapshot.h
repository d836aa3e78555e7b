#pragma once

#include "data/catalog/ProjectTag.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

namespace tolvaran {

// The whole saved tag state: every tag in display order and the tags each project carries,
// keyed by the project's path.
struct ProjectTagSnapshot
{
    QList<ProjectTag> tags;
    QHash<QString, QSet<QUuid>> projectTagIDsByPath;

    // No tags and no assignments: the state of a first run.
    static ProjectTagSnapshot empty() { return {}; }

    // {"tags": [{"id": UUID, "name": ...}], "projectTagIDsByPath": {path: [UUID, ...]}},
    // UUIDs as 36-character upper-case hexadecimal text.
    QJsonObject toJson() const;
    // Takes the values as they are (no trimming, no clean-up); throws JsonDecodingError when
    // a key is missing, a value has the wrong type or a UUID text is invalid.
    static ProjectTagSnapshot fromJson(const QJsonObject &object);

    friend bool operator==(const ProjectTagSnapshot &, const ProjectTagSnapshot &) = default;
};

} // namespace tolvaran
