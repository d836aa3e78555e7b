#include "platform/KeyValueStore.h"

#include "platform/Paths.h"

#include <QDir>
#include <QSettings>

namespace tolvaran {

KeyValueStore::KeyValueStore(const QString &filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
}

KeyValueStore::~KeyValueStore() = default;

QString KeyValueStore::defaultFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !base.startsWith(QLatin1Char('/')))
        base = QDir::homePath() + QStringLiteral("/.config");
    return standardizedPath(base) + QStringLiteral("/Tolvaran/Tolvaran.conf");
}

QString KeyValueStore::filePath() const
{
    std::lock_guard lock(m_mutex);
    return m_settings->fileName();
}

bool KeyValueStore::contains(const QString &key) const
{
    std::lock_guard lock(m_mutex);
    return m_settings->contains(key);
}

QVariant KeyValueStore::value(const QString &key, const QVariant &fallback) const
{
    std::lock_guard lock(m_mutex);
    return m_settings->value(key, fallback);
}

QByteArray KeyValueStore::bytes(const QString &key) const
{
    return value(key).toByteArray();
}

QString KeyValueStore::string(const QString &key) const
{
    return value(key).toString();
}

QStringList KeyValueStore::stringList(const QString &key) const
{
    return value(key).toStringList();
}

bool KeyValueStore::boolean(const QString &key, bool fallback) const
{
    const QVariant stored = value(key);
    return stored.isValid() ? stored.toBool() : fallback;
}

void KeyValueStore::setValue(const QString &key, const QVariant &value)
{
    std::lock_guard lock(m_mutex);
    m_settings->setValue(key, value);
}

void KeyValueStore::remove(const QString &key)
{
    std::lock_guard lock(m_mutex);
    m_settings->remove(key);
}

bool KeyValueStore::sync()
{
    std::lock_guard lock(m_mutex);
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

} // namespace tolvaran
