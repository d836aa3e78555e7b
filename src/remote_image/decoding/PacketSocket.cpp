#include "remote_image/decoding/PacketSocket.h"

#include <array>
#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

namespace tolvaran::markdown {

std::optional<std::pair<PacketSocket, PacketSocket>> PacketSocket::makePair()
{
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return std::nullopt;
    return std::pair(PacketSocket(FileDescriptor(ends[0])),
                     PacketSocket(FileDescriptor(ends[1])));
}

bool PacketSocket::send(const QByteArray &bytes, int file) const
{
    iovec part{const_cast<char *>(bytes.constData()), size_t(bytes.size())};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(int))> control{};
    if (file >= 0) {
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        cmsghdr *header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(header), &file, sizeof(int));
    }
    ssize_t sent = -1;
    do {
        sent = ::sendmsg(m_socket.get(), &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent == bytes.size();
}

std::optional<PacketSocket::Packet> PacketSocket::receive(qsizetype maximumBytes) const
{
    Packet packet;
    // One byte more than allowed tells a packet over the limit (cut to fit) from one at it.
    packet.bytes.resize(maximumBytes + 1);
    iovec part{packet.bytes.data(), size_t(packet.bytes.size())};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    // Room for more descriptors than a message may carry, so that any beyond it are received
    // (and closed) rather than left with the kernel as a cut message.
    alignas(cmsghdr) std::array<char, CMSG_SPACE(4 * sizeof(int))> control{};
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    ssize_t received = -1;
    do {
        received = ::recvmsg(m_socket.get(), &message, MSG_CMSG_CLOEXEC);
    } while (received < 0 && errno == EINTR);
    if (received <= 0)
        return std::nullopt;
    bool wellFormed = received <= maximumBytes && !(message.msg_flags & (MSG_TRUNC | MSG_CTRUNC));
    for (cmsghdr *header = CMSG_FIRSTHDR(&message); header;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) {
            wellFormed = false;
            continue;
        }
        const size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int descriptor = -1;
            std::memcpy(&descriptor, CMSG_DATA(header) + i * sizeof(int), sizeof(int));
            // Each is owned here, and closed unless it is the one descriptor expected.
            FileDescriptor owned(descriptor);
            if (packet.file.isValid())
                wellFormed = false;
            else
                packet.file = std::move(owned);
        }
    }
    if (!wellFormed)
        return std::nullopt;
    packet.bytes.truncate(qsizetype(received));
    return packet;
}

} // namespace tolvaran::markdown
