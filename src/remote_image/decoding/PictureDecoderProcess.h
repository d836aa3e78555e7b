#pragma once

#include "remote_image/RemoteImageResult.h"
#include "remote_image/decoding/DecodingMessages.h"
#include "remote_image/decoding/PacketSocket.h"
#include "work/FileDescriptor.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <memory>
#include <stop_token>
#include <variant>

#include <sys/types.h>

namespace tolvaran::markdown {

// What a decoding process may use, which it enforces itself (the CPU time and the memory:
// the program tells it at its start) or the program does (the time in all).
struct DecoderProcessLimits
{
    // CPU time for one picture, its reading and its checks included.
    std::chrono::milliseconds cpuTimePerPicture;
    // The process's own memory (its anonymous resident pages).
    qint64 memoryBytes = 0;
    // How long it waits for a request before it ends.
    std::chrono::milliseconds idleLifetime;
    // How long one picture may take in all, whatever it waits for: a decoding that neither
    // uses CPU time nor ends is ended.
    std::chrono::milliseconds timePerPicture;
};

// What one request to a decoding process came to.
struct DecoderOutcome
{
    RemoteImageResult result = RemoteImageError{};
    // A picture expected to be costly, answered undecoded (a request that did not decode
    // costly ones).
    bool costly = false;
    // The process had ended before it took the request, as one left idle does: nothing of the
    // picture was decoded, and another process may decode it.
    bool notTaken = false;
};

// One decoding process: the program tolvaran-picture-decoder, started with a socket of its
// own (PacketSocket) and the limits, decoding one picture at a time. A process that crashes,
// passes a limit, answers what no decoding makes, or whose picture is stopped, is killed (if
// it still runs) and reaped: that picture is refused, and the process is not used again.
// Used by one thread at a time; its calls block.
class PictureDecoderProcess final
{
public:
    // Starts `program`; decoderUnavailable when it cannot be started.
    static std::variant<std::unique_ptr<PictureDecoderProcess>, RemoteImageError>
    start(const QString &program, const DecoderProcessLimits &limits);
    // Kills the process, if it still runs, and reaps it.
    ~PictureDecoderProcess();
    PictureDecoderProcess(const PictureDecoderProcess &) = delete;
    PictureDecoderProcess &operator=(const PictureDecoderProcess &) = delete;

    // Decodes `bytes` as `request` asks, waiting for the answer: refused with the error the
    // process gave, or the one its end tells (imageTooComplex past its CPU time or its time
    // in all, imageTooLarge past its memory, cannotDecodeContentData for a crash);
    // abandoned, the process killed at once, when `stop` is requested meanwhile.
    DecoderOutcome decode(const QByteArray &bytes, const DecodeRequest &request,
                          const std::stop_token &stop);
    // Whether the process has ended, and is reaped: it is of no more use.
    bool hasEnded();
    pid_t pid() const noexcept { return m_pid; }

private:
    PictureDecoderProcess(pid_t pid, PacketSocket socket, FileDescriptor pidFile,
                          std::chrono::milliseconds timePerPicture);

    // Kills the process and reaps it.
    void kill();
    // Waits for the process, which is ending or has ended, and reaps it; the outcome its
    // status tells.
    DecoderOutcome ended();
    // The pixels of a decoded answer, checked against what was asked.
    RemoteImageResult pixelsOf(const DecodeReply &reply, PacketSocket::Packet &packet,
                               const DecodeRequest &request);

    pid_t m_pid;
    PacketSocket m_socket;
    // Readable once the process has ended (pidfd).
    FileDescriptor m_pidFile;
    std::chrono::milliseconds m_timePerPicture;
    bool m_reaped = false;
    int m_status = 0;
};

} // namespace tolvaran::markdown
