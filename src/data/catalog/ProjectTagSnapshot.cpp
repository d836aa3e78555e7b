#include "data/catalog/ProjectTagSnapshot.h"

#include "platform/JsonCoding.h"

#include <QJsonArray>

#include <algorithm>

namespace tolvaran {

namespace {

const QString tagsKey = QStringLiteral("tags");
const QString assignmentsKey = QStringLiteral("projectTagIDsByPath");
const QString idKey = QStringLiteral("id");
const QString nameKey = QStringLiteral("name");

constexpr qsizetype uuidTextLength = 36;

QString uuidText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

// Only the plain hyphenated form is accepted (QUuid would also take braces); the nil UUID
// is a valid value.
QUuid parseUuid(const QString &text, const QString &key)
{
    const QUuid id = QUuid::fromString(text);
    if (text.size() != uuidTextLength || (id.isNull() && text != uuidText(QUuid())))
        throw JsonDecodingError(QStringLiteral("The value for \"%1\" is not a UUID.").arg(key));
    return id;
}

QJsonArray requiredArray(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isArray()) {
        throw JsonDecodingError(
            QStringLiteral("The value for \"%1\" is missing or is not a list.").arg(key));
    }
    return value.toArray();
}

} // namespace

QJsonObject ProjectTagSnapshot::toJson() const
{
    QJsonArray tagArray;
    for (const ProjectTag &tag : tags)
        tagArray.append(QJsonObject{{idKey, uuidText(tag.id)}, {nameKey, tag.name}});

    QJsonObject assignments;
    for (auto it = projectTagIDsByPath.cbegin(); it != projectTagIDsByPath.cend(); ++it) {
        // A set has no order; sorted text keeps the saved value the same for the same state.
        QStringList ids;
        for (const QUuid &id : it.value())
            ids.append(uuidText(id));
        std::sort(ids.begin(), ids.end());
        assignments.insert(it.key(), json::toArray(ids));
    }
    return QJsonObject{{tagsKey, tagArray}, {assignmentsKey, assignments}};
}

ProjectTagSnapshot ProjectTagSnapshot::fromJson(const QJsonObject &object)
{
    ProjectTagSnapshot snapshot;
    for (const QJsonValue &value : requiredArray(object, tagsKey)) {
        if (!value.isObject()) {
            throw JsonDecodingError(
                QStringLiteral("An entry of \"%1\" is not an object.").arg(tagsKey));
        }
        const QJsonObject tagObject = value.toObject();
        ProjectTag tag;
        tag.id = parseUuid(json::requiredString(tagObject, idKey), idKey);
        tag.name = json::requiredString(tagObject, nameKey);
        snapshot.tags.append(std::move(tag));
    }

    const QJsonObject assignments = json::requiredObject(object, assignmentsKey);
    for (auto it = assignments.begin(); it != assignments.end(); ++it) {
        const QString path = it.key();
        QSet<QUuid> ids;
        for (const QString &text : json::requiredStringArray(assignments, path))
            ids.insert(parseUuid(text, path));
        snapshot.projectTagIDsByPath.insert(path, std::move(ids));
    }
    return snapshot;
}

} // namespace tolvaran
