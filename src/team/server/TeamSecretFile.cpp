#include "team/server/TeamSecretFile.h"

#include "platform/Paths.h"
#include "platform/storage/FileDescriptor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvaran {

namespace {

constexpr QFileDevice::Permissions secretFilePermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr mode_t privateFolderMode = 0700;
// A copy's name: "." and the secret's name, a dot, this many hex digits drawn at random, then
// the suffix.
constexpr qsizetype copyNameDigits = 16;
const QLatin1String copyNameSuffix(".tmp");
// How many new copies a write makes when sweeps of other processes take them before they are
// locked.
constexpr int copyCreationAttempts = 3;

// A copy is in use exactly while its writer holds an exclusive flock(2) on it, from just
// after its creation until it has been renamed over the secret; the lock goes with the
// writer's process, so the copy of a killed writer is unlocked and a sweep may take it. flock
// locks belong to an open file, not to a process: a sweep's own open of a copy conflicts with
// the writer's lock whether that writer is in this process or another. The one moment a copy
// exists unlocked is between its creation and its lock:
// - in this process, a writer holds this mutex across those two steps and a sweep holds it
//   throughout, so no sweep of this process ever takes a copy this process writes;
// - a sweep of another process may take a copy in that moment; its writer, once it holds the
//   lock, finds its copy gone from the folder and starts again with a new one.
std::mutex copyCreation;

QString copyNamePrefix(const QString &fileName)
{
    return QLatin1Char('.') + fileName + QLatin1Char('.');
}

// A name beside the target that no other writer picks.
QString copyPathFor(const QString &filePath)
{
    const QFileInfo target(filePath);
    return target.absolutePath() + QLatin1Char('/') + copyNamePrefix(target.fileName())
           + QStringLiteral("%1").arg(QRandomGenerator::system()->generate64(), copyNameDigits,
                                      16, QLatin1Char('0'))
           + copyNameSuffix;
}

bool isCopyName(const QString &entry, const QString &fileName)
{
    const QString prefix = copyNamePrefix(fileName);
    if (entry.size() != prefix.size() + copyNameDigits + copyNameSuffix.size()
        || !entry.startsWith(prefix) || !entry.endsWith(copyNameSuffix)) {
        return false;
    }
    const QStringView digits = QStringView(entry).mid(prefix.size(), copyNameDigits);
    return std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
               || (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
    });
}

// Opens `copy` as a new copy of `filePath`, created 0600 and locked; returns its path, or an
// empty string on failure.
QString openLockedCopy(const QString &filePath, QFile &copy)
{
    const std::lock_guard creating(copyCreation);
    for (int attempt = 0; attempt < copyCreationAttempts; ++attempt) {
        const QString path = copyPathFor(filePath);
        copy.setFileName(path);
        if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly, secretFilePermissions))
            return {};
        struct stat status{};
        if (::flock(copy.handle(), LOCK_EX) != 0 || ::fstat(copy.handle(), &status) != 0) {
            QFile::remove(path);
            copy.close();
            return {};
        }
        if (status.st_nlink > 0)
            return path;
        copy.close(); // taken by another process's sweep before it was locked
    }
    return {};
}

} // namespace

bool TeamSecretFile::write(const QString &filePath, const QString &secret)
{
    const QString folder = QFileInfo(filePath).absolutePath();
    if (!makePrivateDirectory(folder))
        return false;
    // An existing folder keeps its mode when made; one the user or an older version left 0755
    // would let others list which teams this computer belongs to.
    if (::chmod(QFile::encodeName(folder).constData(), privateFolderMode) != 0)
        return false;
    removeStaleCopies(filePath);

    // Our own temporary file rather than QSaveFile: QSaveFile creates the temporary file of a
    // target that does not exist yet with the default mode (0666 less the umask) and narrows
    // it only afterwards, so a new secret would be readable by others for a moment. Opening
    // with NewOnly and the mode creates the file 0600 in the same system call.
    QFile temporary;
    const QString temporaryPath = openLockedCopy(filePath, temporary);
    if (temporaryPath.isEmpty())
        return false;
    const QByteArray bytes = secret.toUtf8();
    // rename(2) replaces the target in one step, so a reader sees the old secret or the new
    // one, never a part of either. It comes before the close, which drops the lock.
    const bool written = temporary.setPermissions(secretFilePermissions)
                         && temporary.write(bytes) == bytes.size() && temporary.flush()
                         && ::fsync(temporary.handle()) == 0
                         && std::rename(QFile::encodeName(temporaryPath).constData(),
                                        QFile::encodeName(filePath).constData())
                                == 0;
    if (!written)
        QFile::remove(temporaryPath);
    temporary.close();
    return written;
}

std::optional<QString> TeamSecretFile::read(const QString &filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed;
}

bool TeamSecretFile::remove(const QString &filePath)
{
    removeStaleCopies(filePath);
    return QFile::remove(filePath) || !QFileInfo::exists(filePath);
}

void TeamSecretFile::removeStaleCopies(const QString &filePath)
{
    const QFileInfo target(filePath);
    const QDir folder = target.absoluteDir();
    const std::lock_guard sweeping(copyCreation);
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        if (!isCopyName(entry, target.fileName()))
            continue;
        const QByteArray path = QFile::encodeName(folder.filePath(entry));
        const FileDescriptor copy(
            ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat status{};
        if (!copy.isValid() || ::fstat(copy.get(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        if (::flock(copy.get(), LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
    }
}

} // namespace tolvaran
