#include "platform/storage/RegularFileRead.h"

#include "work/FileDescriptor.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvaran {

namespace {

RegularFileRead failed(RegularFileRead::Status status, QString sentence)
{
    RegularFileRead result;
    result.status = status;
    result.failure = std::move(sentence);
    return result;
}

QString systemError(const QString &path, int error)
{
    return QStringLiteral("Could not read \"%1\": %2.")
        .arg(path, QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

RegularFileRead readRegularFile(const QString &path, qint64 limit, FileDescriptor *keepOpen)
{
    FileDescriptor file(::open(QFile::encodeName(path).constData(),
                               O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.isValid()) {
        const int error = errno;
        if (error == ENOENT)
            return {RegularFileRead::Status::missing, {}, {}};
        return failed(RegularFileRead::Status::failed, systemError(path, error));
    }
    struct stat info{};
    if (::fstat(file.get(), &info) != 0)
        return failed(RegularFileRead::Status::failed, systemError(path, errno));
    if (!S_ISREG(info.st_mode)) {
        return failed(RegularFileRead::Status::notRegular,
                      QStringLiteral("\"%1\" is not a regular file.").arg(path));
    }
    const QString tooLarge = QStringLiteral("\"%1\" is larger than %2 bytes, the most that is "
                                            "read of it.")
                                 .arg(path, QString::number(limit));
    if (info.st_size > limit)
        return failed(RegularFileRead::Status::tooLarge, tooLarge);

    // The size is only a hint (the file may grow meanwhile): read to the end, but never more
    // than one byte past the limit.
    QByteArray contents(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qint64 filled = 0;
    for (;;) {
        if (filled == contents.size()) {
            if (filled > limit)
                return failed(RegularFileRead::Status::tooLarge, tooLarge);
            contents.resize(qsizetype(std::min(limit + 1, std::max<qint64>(filled * 2, 4096))));
        }
        const ssize_t got =
            ::read(file.get(), contents.data() + filled, size_t(contents.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return failed(RegularFileRead::Status::failed, systemError(path, errno));
        if (got == 0)
            break;
        filled += got;
    }
    if (filled > limit)
        return failed(RegularFileRead::Status::tooLarge, tooLarge);
    contents.truncate(qsizetype(filled));
    if (keepOpen)
        *keepOpen = std::move(file);
    return {RegularFileRead::Status::read, std::move(contents), {}};
}

bool openRegularFile(QFile &file, const QString &path)
{
    FileDescriptor descriptor(::open(QFile::encodeName(path).constData(),
                                     O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info{};
    if (!descriptor.isValid() || ::fstat(descriptor.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    if (!file.open(descriptor.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return false;
    descriptor.release(); // the file closes it now
    return true;
}

} // namespace tolvaran
