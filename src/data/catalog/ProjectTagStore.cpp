#include "data/catalog/ProjectTagStore.h"

#include "data/DataLogging.h"
#include "data/catalog/ProjectTagError.h"
#include "platform/storage/AtomicFileWriter.h"
#include "platform/JsonCoding.h"
#include "platform/storage/KeyValueStore.h"

#include <QDateTime>
#include <QFileInfo>
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

// The stored value as bytes a person can read back: data as it is, text in UTF-8, anything
// else QSettings may hand back (a list, a number) as JSON.
QByteArray recoverableBytes(const QVariant &stored)
{
    if (stored.typeId() == QMetaType::QByteArray)
        return stored.toByteArray();
    if (stored.typeId() == QMetaType::QString)
        return stored.toString().toUtf8();
    const QJsonDocument document = QJsonDocument::fromVariant(stored);
    return document.isNull() ? stored.toString().toUtf8()
                             : document.toJson(QJsonDocument::Compact);
}

// Writes the damaged value to a new file beside the settings file, named after the key and
// the time, and returns its path; empty when it could not be written.
QString keepDamagedValue(const QString &settingsPath, const QString &key, const QByteArray &bytes)
{
    const QString stem = QFileInfo(settingsPath).absolutePath() + QLatin1Char('/') + key
        + QStringLiteral(".damaged-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QString path = stem;
    for (int attempt = 2; QFileInfo::exists(path); ++attempt)
        path = stem + QLatin1Char('-') + QString::number(attempt);
    const QString failure = AtomicFileWriter::write(path, bytes);
    if (!failure.isEmpty()) {
        qCWarning(lcData).noquote() << "Could not keep the damaged tags:" << failure;
        return {};
    }
    return path;
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
        qCWarning(lcData).noquote()
            << "The saved tags under" << m_snapshotKey << "cannot be read; no tags are shown"
            << "and the value stays as it is until the next tag change, which copies it to a"
            << "file beside the settings before saving over it:" << problem;
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
        // The damaged value may still hold the user's tags, readable by a person; it is
        // copied out first and only overwritten once the copy is on disk.
        const QString copy =
            keepDamagedValue(m_defaults.filePath(), m_snapshotKey, recoverableBytes(stored));
        if (copy.isEmpty())
            throw ProjectTagError(ProjectTagError::Kind::storageFailure);
        qCWarning(lcData).noquote() << "The saved tags under" << m_snapshotKey
                                    << "could not be read (" << problem
                                    << "); they are kept in" << copy
                                    << "and replaced by the tags saved now";
    }
    m_defaults.setValue(m_snapshotKey,
                        QJsonDocument(snapshot.toJson()).toJson(QJsonDocument::Compact));
}

} // namespace tolvaran
