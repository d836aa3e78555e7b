#pragma once

#include <utility>

namespace tolvaran {

// Owns one POSIX file descriptor and closes it when it goes. A negative value owns nothing
// (the result of a failed open), so `FileDescriptor(::open(...))` needs no check before it.
class FileDescriptor final
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int descriptor) noexcept : m_descriptor(descriptor) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor &&other) noexcept;
    FileDescriptor &operator=(FileDescriptor &&other) noexcept;
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const noexcept { return m_descriptor; }
    bool isValid() const noexcept { return m_descriptor >= 0; }
    // Gives the descriptor up without closing it (another owner has taken it).
    int release() noexcept { return std::exchange(m_descriptor, -1); }

private:
    int m_descriptor = -1;
};

} // namespace tolvaran
