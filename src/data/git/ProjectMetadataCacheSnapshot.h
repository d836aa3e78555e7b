#pragma once

#include "data/git/LocalTeamProjectState.h"
#include "data/git/ProjectGitStatus.h"

#include <QHash>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace tolvaran {

// What the metadata cache keeps across launches, per project folder path.
struct ProjectMetadataCacheSnapshot
{
    QHash<QString, ProjectGitStatus> gitStatuses;
    QHash<QString, LocalTeamProjectState> teamStates;
    std::optional<quint64> lastRepositoryEventID;
    std::optional<bool> hasCompletedInitialIndex;

    friend bool operator==(const ProjectMetadataCacheSnapshot &,
                           const ProjectMetadataCacheSnapshot &) = default;

    // Both maps empty, no event id, the initial index not completed (present, false).
    static ProjectMetadataCacheSnapshot empty();

    // The two maps are always written; absent optionals write no key.
    QJsonObject toJson() const;
    // Throws JsonDecodingError when a map is missing, or any entry or member does not decode.
    // Unknown members are ignored.
    static ProjectMetadataCacheSnapshot fromJson(const QJsonObject &object);
};

} // namespace tolvaran
