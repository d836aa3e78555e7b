#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace tolvaran {

class FileDescriptor;

// The outcome of reading a whole file that must be a regular file of bounded size.
struct RegularFileRead
{
    enum class Status {
        read,
        missing,    // nothing at the path (a dangling link included)
        notRegular, // a FIFO, device, socket or folder: never read, so it cannot block
        tooLarge,   // more than the limit: only the limit and one byte were read
        failed,
    };

    Status status = Status::failed;
    QByteArray contents; // when read
    QString failure;     // a sentence, for every status but read and missing

    bool isRead() const { return status == Status::read; }
};

// Reads the whole file at `path` (symbolic links followed) when it is a regular file of at
// most `limit` bytes. The file is opened without blocking and checked through the opened
// descriptor, so a FIFO put in its place (or swapped in after a check) cannot hang the read,
// and a link to /dev/zero cannot make it read without end. With `keepOpen`, a file that was
// read stays open there: while it is held, no other file takes its inode number, so the
// caller can tell by device and inode whether a file found later is the one it read.
RegularFileRead readRegularFile(const QString &path, qint64 limit,
                                FileDescriptor *keepOpen = nullptr);

// Opens `file` on `path` for reading, the same way, when it is a regular file; false (and
// `file` closed) otherwise. For files read in parts (seek and read) rather than whole.
bool openRegularFile(QFile &file, const QString &path);

} // namespace tolvaran
