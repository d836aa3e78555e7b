#include "data/codex/CodexSessionIndexStore.h"

#include "data/DataLogging.h"
#include "platform/storage/RegularFileRead.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace tolvaran {

QHash<QString, QString> CodexSessionIndexStore::parseThreadNames(const QByteArray &contents)
{
    QHash<QString, QString> names;
    for (const QByteArray &line : contents.split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (!document.isObject())
            continue;
        const QJsonObject object = document.object();
        const QJsonValue id = object.value(QLatin1String("id"));
        const QJsonValue name = object.value(QLatin1String("thread_name"));
        if (!id.isString() || !name.isString())
            continue;
        const QString trimmed = name.toString().trimmed();
        if (trimmed.isEmpty())
            continue;
        // Codex appends a line for every rename, so a later line replaces an earlier one.
        names.insert(id.toString(), trimmed);
    }
    return names;
}

CodexSessionIndexStore::CodexSessionIndexStore(QString path)
    : m_path(std::move(path))
{
}

QHash<QString, QString> CodexSessionIndexStore::loadThreadNames()
{
    // The lock covers the whole load, so callers racing on one change read the file once.
    const std::lock_guard guard(m_lock);
    const std::optional<Internal::CodexFileAttributes> attributes =
        Internal::codexFileAttributes(m_path);
    if (!attributes) {
        m_cache.reset();
        return {};
    }
    if (m_cache && m_cache->attributes == *attributes)
        return m_cache->namesByThreadID;

    const RegularFileRead read = readRegularFile(m_path, maximumFileBytes);
    if (!read.isRead()) {
        qCWarning(lcData).noquote() << read.failure;
        return m_cache ? m_cache->namesByThreadID : QHash<QString, QString>();
    }

    m_cache = Cache{*attributes, parseThreadNames(read.contents)};
    return m_cache->namesByThreadID;
}

} // namespace tolvaran
