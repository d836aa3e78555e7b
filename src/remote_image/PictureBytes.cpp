#include "remote_image/PictureBytes.h"

#include "work/FileDescriptor.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace tolvaran::markdown {

struct PictureBytes::SetAside
{
    FileDescriptor file;
    qsizetype size = 0;
};

PictureBytes PictureBytes::held(QByteArray bytes)
{
    PictureBytes picture;
    picture.m_where = std::move(bytes);
    return picture;
}

PictureBytes PictureBytes::ofFile(QString path, qint64 maximumBytes)
{
    PictureBytes picture;
    picture.m_where = PictureFile{std::move(path), maximumBytes};
    return picture;
}

qsizetype PictureBytes::heldBytes() const
{
    const auto *bytes = std::get_if<QByteArray>(&m_where);
    return bytes ? bytes->size() : 0;
}

bool PictureBytes::setAside(const QString &folder)
{
    const auto *bytes = std::get_if<QByteArray>(&m_where);
    if (!bytes || bytes->isEmpty())
        return false;
    // A file without a name: the system removes it with its last descriptor.
    FileDescriptor file(::open(QFile::encodeName(folder).constData(),
                               O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (!file.isValid())
        return false;
    for (qsizetype written = 0; written < bytes->size();) {
        const ssize_t step = ::write(file.get(), bytes->constData() + written,
                                     size_t(bytes->size() - written));
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            return false;
        written += step;
    }
    auto setAside = std::make_shared<SetAside>();
    setAside->file = std::move(file);
    setAside->size = bytes->size();
    m_where = std::shared_ptr<const SetAside>(std::move(setAside));
    return true;
}

std::variant<QByteArray, RemoteImageError> PictureBytes::read() const
{
    if (const auto *bytes = std::get_if<QByteArray>(&m_where))
        return *bytes;
    if (const auto *setAside = std::get_if<std::shared_ptr<const SetAside>>(&m_where)) {
        QByteArray bytes((*setAside)->size, Qt::Uninitialized);
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t step = ::pread((*setAside)->file.get(), bytes.data() + done,
                                         size_t(bytes.size() - done), off_t(done));
            if (step < 0 && errno == EINTR)
                continue;
            if (step < 0)
                return RemoteImageError{RemoteImageErrorKind::transferFailed,
                                        QString::fromLocal8Bit(std::strerror(errno))};
            if (step == 0)
                return RemoteImageError{RemoteImageErrorKind::transferFailed, {}};
            done += step;
        }
        return bytes;
    }
    const PictureFile &picture = std::get<PictureFile>(m_where);
    QFile file(picture.path);
    if (!file.open(QIODevice::ReadOnly))
        return RemoteImageError{RemoteImageErrorKind::transferFailed, file.errorString()};
    // One byte more than allowed tells an over-long file from one exactly at the limit, also
    // when its size changes while it is read.
    const QByteArray bytes = file.read(picture.maximumBytes + 1);
    if (bytes.size() > picture.maximumBytes)
        return RemoteImageError{RemoteImageErrorKind::downloadTooLarge, {}};
    if (file.error() != QFileDevice::NoError)
        return RemoteImageError{RemoteImageErrorKind::transferFailed, file.errorString()};
    return bytes;
}

} // namespace tolvaran::markdown
