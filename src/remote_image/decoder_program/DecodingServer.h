#pragma once

#include "remote_image/decoding/DecodingMessages.h"
#include "remote_image/decoding/PacketSocket.h"

#include <chrono>
#include <optional>

namespace tolvaran::markdown {

class DecoderWatchdog;

// The decoding process's work: requests read from its socket one at a time, each picture
// checked and decoded by RemoteImageDecoder as the request asks, its pixels sent back in a
// sealed memory file, while the watchdog guards its CPU time and the process's memory.
class DecodingServer final
{
public:
    DecodingServer(PacketSocket &socket, DecoderWatchdog &watchdog,
                   std::chrono::milliseconds idleLifetime);

    // Answers requests until the program closes the socket (0), or none comes for the idle
    // lifetime, or one is not a request: how the process ends (DecoderExit).
    int serve();

    // The answer to `request` for the picture `bytes`, and the memory file of its pixels
    // when it decoded.
    struct Answer
    {
        DecodeReply reply;
        std::optional<FileDescriptor> pixels;
    };
    static Answer answer(const QByteArray &bytes, const DecodeRequest &request);

private:
    PacketSocket &m_socket;
    DecoderWatchdog &m_watchdog;
    const std::chrono::milliseconds m_idleLifetime;
    const qint64 m_startMemory;
};

} // namespace tolvaran::markdown
