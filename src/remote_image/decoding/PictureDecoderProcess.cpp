#include "remote_image/decoding/PictureDecoderProcess.h"

#include "remote_image/decoding/DecoderCommandLine.h"
#include "remote_image/decoding/DecoderExit.h"
#include "remote_image/decoding/SealedMemory.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace tolvaran::markdown {

namespace {

using Kind = RemoteImageErrorKind;
using Clock = std::chrono::steady_clock;

// Where the program keeps the process's end of the socket until the process is started: any
// descriptor but the one it is given as, so that giving it is never a no-op that would leave
// it closed on exec.
constexpr int heldDescriptorFloor = 10;
// How often an ending process is looked at where the system cannot tell of its end (no
// pidfd), and how long it may take to end before it is killed.
constexpr std::chrono::milliseconds endingPoll{5};
constexpr std::chrono::milliseconds endingAllowance{2000};

FileDescriptor openPidFile(pid_t pid)
{
#ifdef SYS_pidfd_open
    return FileDescriptor(int(::syscall(SYS_pidfd_open, pid, 0)));
#else
    Q_UNUSED(pid);
    return {};
#endif
}

// Waits for `descriptors` until one is ready or `timeout` has passed (forever where
// negative); false on a time-out.
bool waitFor(std::vector<pollfd> &descriptors, std::chrono::milliseconds timeout)
{
    for (;;) {
        const int ready = ::poll(descriptors.data(), nfds_t(descriptors.size()),
                                 int(std::min<qint64>(timeout.count(), INT_MAX)));
        if (ready >= 0 || errno != EINTR)
            return ready > 0;
    }
}

// The outcome a process's end tells, for a picture it had taken.
RemoteImageError errorOfEnd(int status)
{
    if (WIFEXITED(status)) {
        switch (DecoderExit(WEXITSTATUS(status))) {
        case DecoderExit::cpuLimit:
            return RemoteImageError{Kind::imageTooComplex, {}};
        case DecoderExit::memoryLimit:
            return RemoteImageError{Kind::imageTooLarge, {}};
        // Not the program it should be: another build's, that reads no request of this one.
        case DecoderExit::badRequest:
        case DecoderExit::cannotStart:
            return RemoteImageError{Kind::decoderUnavailable, {}};
        default:
            break;
        }
    } else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU) {
        return RemoteImageError{Kind::imageTooComplex, {}};
    }
    // A crash of the decoders, or an end that no request explains.
    return RemoteImageError{Kind::cannotDecodeContentData, {}};
}

} // namespace

std::variant<std::unique_ptr<PictureDecoderProcess>, RemoteImageError>
PictureDecoderProcess::start(const QString &program, const DecoderProcessLimits &limits)
{
    const RemoteImageError unavailable{Kind::decoderUnavailable, {}};
    auto pair = PacketSocket::makePair();
    if (!pair)
        return unavailable;
    FileDescriptor childEnd = pair->second.release();
    const FileDescriptor held(::fcntl(childEnd.get(), F_DUPFD_CLOEXEC, heldDescriptorFloor));
    if (!held.isValid())
        return unavailable;

    const QByteArray path = QFile::encodeName(program);
    QList<QByteArray> arguments{path};
    for (const QString &argument : DecoderCommandLine::arguments(limits))
        arguments.append(argument.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The socket, and nothing to read: its other descriptors are closed on exec, or by the
    // process itself as it starts.
    posix_spawn_file_actions_adddup2(&actions, held.get(), DecoderCommandLine::socketDescriptor);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Signals as a new program has them, whatever this thread blocks or the program handles.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, path.constData(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return unavailable;
    return std::unique_ptr<PictureDecoderProcess>(new PictureDecoderProcess(
        pid, std::move(pair->first), openPidFile(pid), limits.timePerPicture));
}

PictureDecoderProcess::PictureDecoderProcess(pid_t pid, PacketSocket socket,
                                             FileDescriptor pidFile,
                                             std::chrono::milliseconds timePerPicture)
    : m_pid(pid)
    , m_socket(std::move(socket))
    , m_pidFile(std::move(pidFile))
    , m_timePerPicture(timePerPicture)
{
}

PictureDecoderProcess::~PictureDecoderProcess()
{
    kill();
}

DecoderOutcome PictureDecoderProcess::decode(const QByteArray &bytes,
                                             const DecodeRequest &request,
                                             const std::stop_token &stop)
{
    if (stop.stop_requested())
        return {RemoteImageError{Kind::abandoned, {}}};
    if (m_reaped)
        return {RemoteImageError{Kind::cannotDecodeContentData, {}}, false, true};
    {
        const std::optional<FileDescriptor> memory = SealedMemory::holding(bytes);
        if (!memory)
            return {RemoteImageError{Kind::imageTooLarge, {}}};
        // The process has its own copy of the descriptor once it is sent.
        if (!m_socket.send(encodeMessage(request), memory->get()))
            return ended();
    }

    const FileDescriptor wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    const std::stop_callback onStop(stop, [&wake] {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake.get(), &one, sizeof(one));
    });
    std::vector<pollfd> waiting{{m_socket.descriptor(), POLLIN, 0}, {wake.get(), POLLIN, 0}};
    if (m_pidFile.isValid())
        waiting.push_back({m_pidFile.get(), POLLIN, 0});
    const Clock::time_point deadline = Clock::now() + m_timePerPicture;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !waitFor(waiting, left)) {
            kill();
            return {RemoteImageError{Kind::imageTooComplex, {}}};
        }
        if (waiting[1].revents || stop.stop_requested()) {
            kill();
            return {RemoteImageError{Kind::abandoned, {}}};
        }
        if (waiting[0].revents)
            break;
        // The process ended and left nothing to read.
        if (waiting.size() > 2 && waiting[2].revents)
            return ended();
    }

    std::optional<PacketSocket::Packet> packet = m_socket.receive(maximumMessageBytes);
    if (!packet)
        return ended();
    const std::optional<DecodeReply> reply = decodeReply(packet->bytes);
    if (!reply) {
        kill();
        return {RemoteImageError{Kind::cannotDecodeContentData, {}}};
    }
    switch (reply->outcome) {
    case DecodeReply::Outcome::refused:
        return {reply->error};
    case DecodeReply::Outcome::costly:
        return {RemoteImageError{Kind::imageTooComplex, {}}, true};
    case DecodeReply::Outcome::decoded:
        break;
    }
    return {pixelsOf(*reply, *packet, request)};
}

RemoteImageResult PictureDecoderProcess::pixelsOf(const DecodeReply &reply,
                                                  PacketSocket::Packet &packet,
                                                  const DecodeRequest &request)
{
    // No more pixels than asked for: the size the picture is drawn at, and the limit.
    const QSize fitted = fittedPictureSize(reply.pictureSize, request.maximumSize);
    const bool asAsked = reply.imageSize.width() <= fitted.width()
                         && reply.imageSize.height() <= fitted.height()
                         && qint64(reply.imageSize.width()) * reply.imageSize.height()
                                <= request.limits.maximumPixels;
    QImage pixels = asAsked && packet.file.isValid()
                        ? SealedMemory::mapImage(packet.file.get(), reply.imageSize,
                                                 reply.bytesPerLine, reply.format)
                        : QImage();
    if (pixels.isNull()) {
        kill();
        return RemoteImageError{Kind::cannotDecodeContentData, {}};
    }
    if (!reply.colorTable.isEmpty())
        pixels.setColorTable(reply.colorTable);
    // Drawn at one pixel a point of the picture, whatever it was decoded at.
    pixels.setDevicePixelRatio(double(pixels.width()) / reply.pictureSize.width());
    return DecodedImage(std::move(pixels), reply.pictureSize);
}

bool PictureDecoderProcess::hasEnded()
{
    if (m_reaped)
        return true;
    int status = 0;
    pid_t waited = -1;
    do {
        waited = ::waitpid(m_pid, &status, WNOHANG);
    } while (waited < 0 && errno == EINTR);
    if (waited == m_pid || (waited < 0 && errno == ECHILD)) {
        m_reaped = true;
        m_status = status;
    }
    return m_reaped;
}

DecoderOutcome PictureDecoderProcess::ended()
{
    // It closed its socket as it ended: its end comes at once, unless it is no longer the
    // program it was (it is given a moment, and then killed).
    if (m_pidFile.isValid()) {
        std::vector<pollfd> end{{m_pidFile.get(), POLLIN, 0}};
        waitFor(end, endingAllowance);
    } else {
        for (auto waited = std::chrono::milliseconds(0);
             waited < endingAllowance && !hasEnded(); waited += endingPoll)
            std::this_thread::sleep_for(endingPoll);
    }
    kill();
    if (WIFEXITED(m_status) && DecoderExit(WEXITSTATUS(m_status)) == DecoderExit::idle)
        return {RemoteImageError{Kind::cannotDecodeContentData, {}}, false, true};
    return {errorOfEnd(m_status)};
}

void PictureDecoderProcess::kill()
{
    if (m_reaped || hasEnded())
        return;
    ::kill(m_pid, SIGKILL);
    int status = 0;
    pid_t waited = -1;
    do {
        waited = ::waitpid(m_pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    m_reaped = true;
    m_status = status;
}

} // namespace tolvaran::markdown
