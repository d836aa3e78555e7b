#pragma once

#include "work/FileDescriptor.h"

#include <QByteArray>
#include <QImage>

#include <optional>

namespace tolvaran::markdown {

// Memory files (memfd) that carry a picture's bytes to a decoding process and its pixels
// back, each written once by one side, sealed against any change of size or content, and
// mapped by the other: what crosses is copied once, by whoever writes it, and never through
// a socket. The reading side maps only files sealed so: one that could still shrink would
// fault the reader's process as it reads the pages cut off.
class SealedMemory final
{
public:
    // A sealed file holding `bytes`; none when the system has no memory for it.
    static std::optional<FileDescriptor> holding(const QByteArray &bytes);
    // A sealed file holding the rows of `image`, each `bytesPerLine` long (at least the row's
    // own bytes; the rest of each row is left zero).
    static std::optional<FileDescriptor> holdingRows(const QImage &image, qsizetype bytesPerLine);

    // A file's bytes mapped read-only, until it goes.
    class Mapping final
    {
    public:
        Mapping(const char *data, qsizetype size) : m_data(data), m_size(size) {}
        ~Mapping();
        Mapping(Mapping &&other) noexcept;
        Mapping &operator=(Mapping &&other) = delete;
        Mapping(const Mapping &) = delete;
        Mapping &operator=(const Mapping &) = delete;

        // The bytes, not copied: valid while the mapping lives.
        QByteArray bytes() const { return QByteArray::fromRawData(m_data, m_size); }

    private:
        const char *m_data;
        qsizetype m_size;
    };

    // The bytes of the sealed file `file`, mapped read-only; none when it is not sealed or
    // cannot be mapped. An empty file maps to no bytes.
    static std::optional<Mapping> mapBytes(int file);
    // An image over the pixels of the sealed file `file`: `size` pixels of `format`, rows
    // `bytesPerLine` apart, mapped read-only until the image and every copy of it are gone;
    // null when the file is not sealed, or holds fewer bytes than those rows.
    static QImage mapImage(int file, QSize size, qsizetype bytesPerLine, QImage::Format format);
};

} // namespace tolvaran::markdown
