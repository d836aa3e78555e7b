#include "team/server/TeamSecretFile.h"

#include "platform/Paths.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvaran {

namespace {

constexpr QFileDevice::Permissions secretFilePermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr mode_t privateFolderMode = 0700;

// A name beside the target that no other writer picks.
QString temporaryPathFor(const QString &filePath)
{
    const QFileInfo target(filePath);
    return target.absolutePath() + QStringLiteral("/.") + target.fileName()
           + QStringLiteral(".%1.tmp").arg(QRandomGenerator::system()->generate64(), 16, 16,
                                           QLatin1Char('0'));
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

    // Our own temporary file rather than QSaveFile: QSaveFile creates the temporary file of a
    // target that does not exist yet with the default mode (0666 less the umask) and narrows
    // it only afterwards, so a new secret would be readable by others for a moment. Opening
    // with NewOnly and the mode creates the file 0600 in the same system call.
    const QString temporaryPath = temporaryPathFor(filePath);
    QFile temporary(temporaryPath);
    if (!temporary.open(QIODevice::WriteOnly | QIODevice::NewOnly, secretFilePermissions))
        return false;
    const QByteArray bytes = secret.toUtf8();
    const bool written = temporary.setPermissions(secretFilePermissions)
                         && temporary.write(bytes) == bytes.size() && temporary.flush()
                         && ::fsync(temporary.handle()) == 0;
    temporary.close();
    // rename(2) replaces the target in one step, so a reader sees the old secret or the new
    // one, never a part of either.
    if (!written
        || std::rename(QFile::encodeName(temporaryPath).constData(),
                       QFile::encodeName(filePath).constData())
               != 0) {
        QFile::remove(temporaryPath);
        return false;
    }
    return true;
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
    return QFile::remove(filePath) || !QFileInfo::exists(filePath);
}

} // namespace tolvaran
