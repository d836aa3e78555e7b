#pragma once

#include <QString>
#include <QVariant>

#include <chrono>
#include <memory>
#include <mutex>

class QSettings;

namespace tolvaran {

// The user defaults: one key-value store over one QSettings file, shared by every subsystem
// and safe to use from any thread. Tests give it a file in a temporary folder.
//
// The file is private (0600), as our other files are: it names the member, the teams and
// the device. QSettings writes it through a temporary copy beside it and keeps the file's
// mode, so the file is made 0600 before the first write and an existing one is tightened.
class KeyValueStore final
{
public:
    // A temporary copy of the file older than this is a write's that was killed midway (a
    // write takes milliseconds, and another running copy of the program may be writing).
    static constexpr std::chrono::minutes abandonedCopyAge{1};

    // The store at `filePath` (an INI file); created on first write. An existing file is
    // made private, and the temporary copies that killed writes left beside it are removed.
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
    // Before the first write: a missing file is made, private. Under the mutex.
    void prepareFile();

    mutable std::mutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
    bool m_filePrepared = false;
};

} // namespace tolvaran
