#include "data/ProjectTagStore.h"

#include "data/ProjectTagError.h"
#include "platform/JsonCoding.h"
#include "platform/KeyValueStore.h"
#include "platform/Logging.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace tolvaran {

namespace {

// The stored value decoded as it is, or nothing with the reason in `problem`.
std::optional<ProjectTagSnapshot> decodeStoredValue(const QVariant &stored, QString &problem)
{
    if (stored.typeId() != QMetaType::QByteArray) {
        problem = QStringLiteral("the value is not JSON data");
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(stored.toByteArray(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        problem = parseError.error != QJsonParseError::NoError
                      ? parseError.errorString()
                      : QStringLiteral("the value is not a JSON object");
        return std::nullopt;
    }
    try {
        return ProjectTagSnapshot::fromJson(document.object());
    } catch (const JsonDecodingError &error) {
        problem = error.message();
        return std::nullopt;
    }
}

} // namespace

ProjectTagStore::ProjectTagStore(KeyValueStore &defaults)
    : m_defaults(defaults)
    , m_snapshotKey(QStringLiteral("projectTags.snapshot.v1"))
    , m_sidebarVisibilityKey(QStringLiteral("projectTags.sidebarVisible"))
{
}

ProjectTagSnapshot ProjectTagStore::loadSnapshot() const
{
    const QVariant stored = m_defaults.value(m_snapshotKey);
    if (!stored.isValid())
        return ProjectTagSnapshot::empty();
    QString problem;
    const std::optional<ProjectTagSnapshot> decoded = decodeStoredValue(stored, problem);
    if (!decoded) {
        qCWarning(lcTolvaran).noquote()
            << "The saved tags under" << m_snapshotKey << "cannot be read and are kept as they"
            << "are; no tags are shown and tag changes are not saved:" << problem;
        return ProjectTagSnapshot::empty();
    }

    QSet<QUuid> knownIDs;
    for (const ProjectTag &tag : decoded->tags)
        knownIDs.insert(tag.id);

    ProjectTagSnapshot snapshot;
    snapshot.tags = decoded->tags;
    sortInTagOrder(snapshot.tags);
    for (auto it = decoded->projectTagIDsByPath.cbegin();
         it != decoded->projectTagIDsByPath.cend(); ++it) {
        QSet<QUuid> ids = it.value();
        ids.intersect(knownIDs);
        if (!it.key().isEmpty() && !ids.isEmpty())
            snapshot.projectTagIDsByPath.insert(it.key(), std::move(ids));
    }
    return snapshot;
}

void ProjectTagStore::save(const ProjectTagSnapshot &snapshot)
{
    const QVariant stored = m_defaults.value(m_snapshotKey);
    QString problem;
    if (stored.isValid() && !decodeStoredValue(stored, problem)) {
        qCWarning(lcTolvaran).noquote()
            << "Not saving tags over the unreadable value under" << m_snapshotKey << ":"
            << problem;
        throw ProjectTagError(ProjectTagError::Kind::storageFailure);
    }
    m_defaults.setValue(m_snapshotKey,
                        QJsonDocument(snapshot.toJson()).toJson(QJsonDocument::Compact));
}

} // namespace tolvaran
