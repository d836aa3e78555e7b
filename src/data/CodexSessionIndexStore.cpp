#include "data/CodexSessionIndexStore.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace tolvaran {

namespace {

QHash<QString, QString> parseThreadNames(const QByteArray &contents)
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

} // namespace

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

    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return m_cache ? m_cache->namesByThreadID : QHash<QString, QString>();
    const QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return m_cache ? m_cache->namesByThreadID : QHash<QString, QString>();

    m_cache = Cache{*attributes, parseThreadNames(contents)};
    return m_cache->namesByThreadID;
}

} // namespace tolvaran
