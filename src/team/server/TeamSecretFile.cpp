#include "team/server/TeamSecretFile.h"

#include "platform/Paths.h"
#include "platform/storage/LockedTemporaryFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <algorithm>
#include <cstdio>

#include <sys/stat.h>

namespace tolvaran {

namespace {

constexpr mode_t secretFileMode = 0600;
constexpr mode_t privateFolderMode = 0700;
// A copy's name: "." and the secret's name, a dot, this many hex digits drawn at random, then
// the suffix.
constexpr qsizetype copyNameDigits = 16;
const QLatin1String copyNameSuffix(".tmp");

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
    // it only afterwards, so a new secret would be readable by others for a moment. A locked
    // temporary file is private from the moment it exists.
    const std::optional<LockedTemporaryFile> temporary =
        LockedTemporaryFile::create([&filePath] { return copyPathFor(filePath); }, secretFileMode);
    if (!temporary)
        return false;
    // rename(2) replaces the target in one step, so a reader sees the old secret or the new
    // one, never a part of either. It comes before the close, which drops the lock.
    const bool written = temporary->writeAndSync(secret.toUtf8())
                         && std::rename(QFile::encodeName(temporary->path()).constData(),
                                        QFile::encodeName(filePath).constData())
                                == 0;
    if (!written)
        QFile::remove(temporary->path());
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
    LockedTemporaryFile::removeStale(target.absolutePath(), [&target](const QString &entry) {
        return isCopyName(entry, target.fileName());
    });
}

} // namespace tolvaran
