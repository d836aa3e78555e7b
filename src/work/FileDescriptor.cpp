#include "work/FileDescriptor.h"

#include <utility>

#include <unistd.h>

namespace tolvaran {

FileDescriptor::~FileDescriptor()
{
    // Our descriptors are read from or written through files that are synced or replaced
    // elsewhere; a failed close loses nothing that a caller could still act on.
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

FileDescriptor::FileDescriptor(FileDescriptor &&other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1))
{
}

FileDescriptor &FileDescriptor::operator=(FileDescriptor &&other) noexcept
{
    std::swap(m_descriptor, other.m_descriptor);
    return *this;
}

} // namespace tolvaran
