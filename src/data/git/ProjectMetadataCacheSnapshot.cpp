#include "data/git/ProjectMetadataCacheSnapshot.h"

#include "platform/JsonCoding.h"

#include <cmath>
#include <limits>

namespace tolvaran {

namespace {

const QString gitStatusesKey = QStringLiteral("gitStatuses");
const QString teamStatesKey = QStringLiteral("teamStates");
const QString lastRepositoryEventIDKey = QStringLiteral("lastRepositoryEventID");
const QString hasCompletedInitialIndexKey = QStringLiteral("hasCompletedInitialIndex");

// Event ids beyond the range of signed 64-bit integers (which JSON numbers hold exactly
// here) are written as numbers all the same, and read back as the nearest one.
QJsonValue eventIDValue(quint64 id)
{
    if (id <= quint64(std::numeric_limits<qint64>::max()))
        return QJsonValue(qint64(id));
    return QJsonValue(double(id));
}

[[noreturn]] void failEventID()
{
    throw JsonDecodingError(QStringLiteral("The value for \"%1\" is not an unsigned integer.")
                                .arg(lastRepositoryEventIDKey));
}

std::optional<quint64> readEventID(const QJsonObject &object)
{
    const QJsonValue value = object.value(lastRepositoryEventIDKey);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    constexpr double signedLimit = 9223372036854775808.0;    // 2^63
    constexpr double unsignedLimit = 18446744073709551616.0; // 2^64
    if (value.isDouble() && value.toDouble() >= signedLimit) {
        const double id = value.toDouble();
        if (id >= unsignedLimit || id != std::floor(id))
            failEventID();
        return quint64(id);
    }
    const std::optional<qint64> id = json::optionalInt64(object, lastRepositoryEventIDKey);
    if (*id < 0)
        failEventID();
    return quint64(*id);
}

} // namespace

ProjectMetadataCacheSnapshot ProjectMetadataCacheSnapshot::empty()
{
    ProjectMetadataCacheSnapshot snapshot;
    snapshot.hasCompletedInitialIndex = false;
    return snapshot;
}

QJsonObject ProjectMetadataCacheSnapshot::toJson() const
{
    QJsonObject statuses;
    for (auto it = gitStatuses.cbegin(); it != gitStatuses.cend(); ++it)
        statuses.insert(it.key(), it.value().toJson());
    QJsonObject states;
    for (auto it = teamStates.cbegin(); it != teamStates.cend(); ++it)
        states.insert(it.key(), it.value().toJson());
    QJsonObject object{{gitStatusesKey, statuses}, {teamStatesKey, states}};
    if (lastRepositoryEventID)
        object.insert(lastRepositoryEventIDKey, eventIDValue(*lastRepositoryEventID));
    if (hasCompletedInitialIndex)
        object.insert(hasCompletedInitialIndexKey, *hasCompletedInitialIndex);
    return object;
}

ProjectMetadataCacheSnapshot ProjectMetadataCacheSnapshot::fromJson(const QJsonObject &object)
{
    ProjectMetadataCacheSnapshot snapshot;
    const QJsonObject statuses = json::requiredObject(object, gitStatusesKey);
    for (auto it = statuses.constBegin(); it != statuses.constEnd(); ++it) {
        if (!it.value().isObject())
            throw JsonDecodingError(QStringLiteral("A git status is not an object."));
        snapshot.gitStatuses.insert(it.key(), ProjectGitStatus::fromJson(it.value().toObject()));
    }
    const QJsonObject states = json::requiredObject(object, teamStatesKey);
    for (auto it = states.constBegin(); it != states.constEnd(); ++it) {
        if (!it.value().isObject())
            throw JsonDecodingError(QStringLiteral("A team state is not an object."));
        snapshot.teamStates.insert(it.key(),
                                   LocalTeamProjectState::fromJson(it.value().toObject()));
    }
    snapshot.lastRepositoryEventID = readEventID(object);
    snapshot.hasCompletedInitialIndex = json::optionalBool(object, hasCompletedInitialIndexKey);
    return snapshot;
}

} // namespace tolvaran
