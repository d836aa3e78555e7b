#include "platform/storage/KeyValueStore.h"

#include "work/FileDescriptor.h"
#include "platform/Paths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <fcntl.h>
#include <sys/stat.h>

namespace tolvaran {

namespace {

constexpr mode_t privateFileMode = 0600;

// Removes the copies that writes killed midway left beside `filePath`: QSaveFile names them
// after the file and six random letters or digits ("Tolvaran.conf.a1B2c3").
void removeAbandonedCopies(const QString &filePath)
{
    const QFileInfo file(filePath);
    const QRegularExpression copyName(QLatin1Char('^')
                                      + QRegularExpression::escape(file.fileName())
                                      + QStringLiteral("\\.[A-Za-z0-9]{6}$"));
    const QDateTime abandoned =
        QDateTime::currentDateTimeUtc().addSecs(-std::chrono::seconds(
            KeyValueStore::abandonedCopyAge).count());
    const QFileInfoList entries =
        QDir(file.absolutePath()).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &entry : entries) {
        if (!entry.isSymLink() && copyName.match(entry.fileName()).hasMatch()
            && entry.lastModified().toUTC() < abandoned) {
            QFile::remove(entry.absoluteFilePath());
        }
    }
}

} // namespace

KeyValueStore::KeyValueStore(const QString &filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
    removeAbandonedCopies(filePath);
    struct stat existing {};
    const QByteArray native = QFile::encodeName(filePath);
    if (::lstat(native.constData(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::chmod(native.constData(), privateFileMode);
        m_filePrepared = true;
    }
}

void KeyValueStore::prepareFile()
{
    if (m_filePrepared)
        return;
    m_filePrepared = true;
    const QString path = m_settings->fileName();
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Made empty and private; QSettings writes into it (keeping its mode) later.
    const FileDescriptor created(::open(QFile::encodeName(path).constData(),
                                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                        privateFileMode));
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
    prepareFile();
    m_settings->setValue(key, value);
}

void KeyValueStore::remove(const QString &key)
{
    std::lock_guard lock(m_mutex);
    prepareFile();
    m_settings->remove(key);
}

bool KeyValueStore::sync()
{
    std::lock_guard lock(m_mutex);
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

} // namespace tolvaran
