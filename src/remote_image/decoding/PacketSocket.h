#pragma once

#include "work/FileDescriptor.h"

#include <QByteArray>

#include <optional>
#include <utility>

namespace tolvaran::markdown {

// One end of a pair of connected SOCK_SEQPACKET sockets: whole messages, in order, each with
// at most one file descriptor passed beside it (SCM_RIGHTS). A packet is never split or
// joined, so a message needs no framing of its own, and a peer that ends is seen at once.
class PacketSocket final
{
public:
    struct Packet
    {
        QByteArray bytes;
        // The descriptor that came with the message, if any.
        FileDescriptor file;
    };

    PacketSocket() = default;
    explicit PacketSocket(FileDescriptor socket) : m_socket(std::move(socket)) {}

    // A connected pair, both ends closed on exec; none when the system has no more
    // descriptors.
    static std::optional<std::pair<PacketSocket, PacketSocket>> makePair();

    // Sends `bytes` with `file` beside it (none where negative). False when the peer has
    // gone or the packet could not be sent whole. Never raises SIGPIPE.
    bool send(const QByteArray &bytes, int file = -1) const;
    // The next message, waiting for it; none when the peer has gone, or sent something that
    // is no message of ours: a packet over `maximumBytes`, more than one descriptor, or
    // anything else beside it.
    std::optional<Packet> receive(qsizetype maximumBytes) const;

    int descriptor() const noexcept { return m_socket.get(); }
    bool isValid() const noexcept { return m_socket.isValid(); }
    // Gives the descriptor up (a child process takes it over).
    FileDescriptor release() noexcept { return std::move(m_socket); }

private:
    FileDescriptor m_socket;
};

} // namespace tolvaran::markdown
