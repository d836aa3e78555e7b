#include "remote_image/decoding/SealedMemory.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvaran::markdown {

namespace {

// What the writer gives up: the file can neither shrink, grow nor be written again, and the
// seals can no longer be changed.
constexpr int sealsOfWrittenMemory = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL;
// What the reader needs: pages that stay (none cut off under its mapping) and stay the same.
constexpr int sealsTheReaderNeeds = F_SEAL_SHRINK | F_SEAL_WRITE;

FileDescriptor newMemoryFile()
{
    return FileDescriptor(::memfd_create("tolvaran-picture", MFD_CLOEXEC | MFD_ALLOW_SEALING));
}

bool seal(int file)
{
    return ::fcntl(file, F_ADD_SEALS, sealsOfWrittenMemory) == 0;
}

// The size of `file` when it is sealed as a reader needs it; none otherwise.
std::optional<qsizetype> sealedSize(int file)
{
    const int seals = ::fcntl(file, F_GET_SEALS);
    struct stat status {};
    if (seals < 0 || (seals & sealsTheReaderNeeds) != sealsTheReaderNeeds
        || ::fstat(file, &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return qsizetype(status.st_size);
}

struct ImageMapping
{
    void *address;
    size_t length;
};

void unmapImage(void *info)
{
    const auto *mapping = static_cast<ImageMapping *>(info);
    ::munmap(mapping->address, mapping->length);
    delete mapping;
}

} // namespace

SealedMemory::Mapping::~Mapping()
{
    if (m_size > 0)
        ::munmap(const_cast<char *>(m_data), size_t(m_size));
}

SealedMemory::Mapping::Mapping(Mapping &&other) noexcept
    : m_data(std::exchange(other.m_data, nullptr))
    , m_size(std::exchange(other.m_size, 0))
{
}

std::optional<FileDescriptor> SealedMemory::holding(const QByteArray &bytes)
{
    FileDescriptor file = newMemoryFile();
    if (!file.isValid())
        return std::nullopt;
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t step =
            ::write(file.get(), bytes.constData() + written, size_t(bytes.size() - written));
        if (step < 0 && errno == EINTR)
            continue;
        if (step <= 0)
            return std::nullopt;
        written += step;
    }
    if (!seal(file.get()))
        return std::nullopt;
    return file;
}

std::optional<FileDescriptor> SealedMemory::holdingRows(const QImage &image,
                                                       qsizetype bytesPerLine)
{
    const qsizetype rowBytes = std::min<qsizetype>(image.bytesPerLine(), bytesPerLine);
    const size_t length = size_t(bytesPerLine) * size_t(image.height());
    FileDescriptor file = newMemoryFile();
    if (!file.isValid() || length == 0 || ::ftruncate(file.get(), off_t(length)) != 0)
        return std::nullopt;
    void *address = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, file.get(), 0);
    if (address == MAP_FAILED)
        return std::nullopt;
    auto *rows = static_cast<uchar *>(address);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(rows + qsizetype(y) * bytesPerLine, image.constScanLine(y), size_t(rowBytes));
    // No writable mapping may remain for the file to be sealed against writing.
    ::munmap(address, length);
    if (!seal(file.get()))
        return std::nullopt;
    return file;
}

std::optional<SealedMemory::Mapping> SealedMemory::mapBytes(int file)
{
    const std::optional<qsizetype> size = sealedSize(file);
    if (!size)
        return std::nullopt;
    if (*size == 0)
        return Mapping(nullptr, 0);
    void *address = ::mmap(nullptr, size_t(*size), PROT_READ, MAP_SHARED, file, 0);
    if (address == MAP_FAILED)
        return std::nullopt;
    return Mapping(static_cast<const char *>(address), *size);
}

QImage SealedMemory::mapImage(int file, QSize size, qsizetype bytesPerLine,
                              QImage::Format format)
{
    const std::optional<qsizetype> fileSize = sealedSize(file);
    const qint64 needed = qint64(bytesPerLine) * size.height();
    if (!fileSize || size.isEmpty() || needed <= 0 || *fileSize < needed)
        return {};
    void *address = ::mmap(nullptr, size_t(needed), PROT_READ, MAP_SHARED, file, 0);
    if (address == MAP_FAILED)
        return {};
    auto *mapping = new ImageMapping{address, size_t(needed)};
    // Read-only data: whoever wants to change the pixels gets a copy of their own.
    QImage image(static_cast<const uchar *>(address), size.width(), size.height(), bytesPerLine,
                 format, unmapImage, mapping);
    if (image.isNull())
        unmapImage(mapping);
    return image;
}

} // namespace tolvaran::markdown
