#pragma once

#include <QString>
#include <QVariant>

#include <memory>
#include <mutex>

class QSettings;

namespace tolvaran {

// The user defaults: one key-value store over one QSettings file, shared by every subsystem
// and safe to use from any thread. Tests give it a file in a temporary folder.
class KeyValueStore final
{
public:
    // The store at `filePath` (an INI file); created on first write.
    explicit KeyValueStore(const QString &filePath);
    ~KeyValueStore();
    KeyValueStore(const KeyValueStore &) = delete;
    KeyValueStore &operator=(const KeyValueStore &) = delete;

    // ~/.config/Tolvaran/Tolvaran.conf (under $XDG_CONFIG_HOME when set).
    static QString defaultFilePath();

    QString filePath() const;
    bool contains(const QString &key) const;
    QVariant value(const QString &key, const QVariant &fallback = {}) const;
    QByteArray bytes(const QString &key) const;   // empty when absent
    QString string(const QString &key) const;      // empty when absent
    QStringList stringList(const QString &key) const;
    bool boolean(const QString &key, bool fallback = false) const;
    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);
    // Writes pending changes to disk; returns false when the file could not be written.
    bool sync();

private:
    mutable std::mutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
};

} // namespace tolvaran
