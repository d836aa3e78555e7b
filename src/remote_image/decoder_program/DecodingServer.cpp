#include "remote_image/decoder_program/DecodingServer.h"

#include "remote_image/RemoteImageDecoder.h"
#include "remote_image/decoder_program/DecoderWatchdog.h"
#include "remote_image/decoding/DecoderExit.h"
#include "remote_image/decoding/SealedMemory.h"

#include <malloc.h>
#include <poll.h>

namespace tolvaran::markdown {

namespace {

// The memory a process keeps after a picture beyond what it began with.
constexpr qint64 keptMemoryBytes = qint64(32) << 20;

DecodeReply refused(const RemoteImageError &error)
{
    DecodeReply reply;
    reply.outcome = DecodeReply::Outcome::refused;
    reply.error = error;
    return reply;
}

bool isIndexed(QImage::Format format)
{
    return format == QImage::Format_Indexed8 || format == QImage::Format_Mono
           || format == QImage::Format_MonoLSB;
}

} // namespace

DecodingServer::DecodingServer(PacketSocket &socket, DecoderWatchdog &watchdog,
                               std::chrono::milliseconds idleLifetime)
    : m_socket(socket)
    , m_watchdog(watchdog)
    , m_idleLifetime(idleLifetime)
    , m_startMemory(watchdog.ownMemory())
{
}

int DecodingServer::serve()
{
    for (;;) {
        pollfd request{m_socket.descriptor(), POLLIN, 0};
        const int ready = ::poll(&request, 1, int(m_idleLifetime.count()));
        if (ready == 0)
            return int(DecoderExit::idle);
        if (ready < 0)
            continue;
        std::optional<PacketSocket::Packet> packet = m_socket.receive(maximumMessageBytes);
        // The program closed its end.
        if (!packet)
            return 0;
        const std::optional<DecodeRequest> decoded = decodeRequest(packet->bytes);
        if (!decoded || !packet->file.isValid())
            return int(DecoderExit::badRequest);
        Answer answer;
        {
            const std::optional<SealedMemory::Mapping> bytes =
                SealedMemory::mapBytes(packet->file.get());
            if (!bytes)
                return int(DecoderExit::badRequest);
            packet->file = FileDescriptor();
            m_watchdog.pictureStarted();
            answer = DecodingServer::answer(bytes->bytes(), *decoded);
            m_watchdog.pictureEnded();
        }
        if (!m_socket.send(encodeMessage(answer.reply),
                           answer.pixels ? answer.pixels->get() : -1))
            return 0;
        // What a large picture took goes back to the system, so that the next one's memory
        // is counted from where the process began; a small one's pages stay for the next,
        // which would otherwise fault them in again.
        if (m_watchdog.ownMemory() > m_startMemory + keptMemoryBytes)
            ::malloc_trim(0);
    }
}

DecodingServer::Answer DecodingServer::answer(const QByteArray &bytes,
                                              const DecodeRequest &request)
{
    const RemoteImageDecoder decoder(request.limits);
    auto prepared = decoder.prepare(bytes);
    if (const auto *error = std::get_if<RemoteImageError>(&prepared))
        return {refused(*error), std::nullopt};
    const PreparedRemoteImage &image = std::get<PreparedRemoteImage>(prepared);
    if (!request.decodeCostly && image.estimatedCost > RemoteImageDecoder::costlyEstimate) {
        DecodeReply costly;
        costly.outcome = DecodeReply::Outcome::costly;
        return {costly, std::nullopt};
    }
    const RemoteImageResult result = decoder.decode(image, {}, request.maximumSize);
    if (!result.succeeded())
        return {refused(result.error()), std::nullopt};
    DecodedImage decodedImage = result.decoded();
    QImage pixels = std::move(decodedImage.image);
    // Pixels of a palette travel with it (one without a palette is no such picture), and
    // none deeper than the 32 bits a pixel that are kept.
    if ((isIndexed(pixels.format()) && pixels.colorTable().isEmpty()) || pixels.depth() > 32)
        pixels.convertTo(QImage::Format_ARGB32_Premultiplied);
    DecodeReply reply;
    reply.outcome = DecodeReply::Outcome::decoded;
    reply.imageSize = pixels.size();
    reply.format = pixels.format();
    reply.bytesPerLine = alignedLineBytes(pixels.width(), pixels.depth());
    reply.pictureSize = decodedImage.pictureSize;
    if (isIndexed(pixels.format()))
        reply.colorTable = pixels.colorTable();
    std::optional<FileDescriptor> memory = SealedMemory::holdingRows(pixels, reply.bytesPerLine);
    if (!memory)
        return {refused(RemoteImageError{RemoteImageErrorKind::imageTooLarge, {}}), std::nullopt};
    return {reply, std::move(memory)};
}

} // namespace tolvaran::markdown
