#pragma once

#include "remote_image/decoding/AddressSanitizer.h"
#include "remote_image/decoding/PictureDecoderProcess.h"

#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace tolvaran::markdown {

// The decoding processes of the program: every picture from outside is decoded in one of
// them, never in the program itself. Qt's readers, and the libraries under them, do work that
// no check made beforehand can bound (a picture of a few kilobytes may take minutes, or all
// memory, or overflow a stack): in a process of its own, a picture costs at most its limits,
// and a crash or a runaway costs that picture alone.
//
// A few processes at most, started as pictures are asked for and reused; each ends by itself
// when it has had nothing to do for a while, and with the program, however the program ends
// (it watches its socket, which the system closes when the program goes). A process that
// crashed, passed a limit or was killed for a stop is replaced by the next picture that needs
// one. Called from any thread; decode() blocks its caller.
class PictureDecoderPool final
{
public:
    // Processes at once: the image loader's decoding threads and its thread for costly
    // pictures each hold one while they decode.
    static constexpr int maximumProcesses = 3;
    // CPU time for one picture: RemoteImageDecodeLimits says what it was measured from.
    static constexpr std::chrono::milliseconds cpuTimePerPicture =
        RemoteImageDecodeLimits::cpuTimePerPicture;
    // The memory of a process (its own pages, those it shares with files and the program
    // aside): a picture of the most pixels allowed (64 MiB at 4 bytes a pixel) held as its
    // reader decodes it and copied out, besides the process's own (about 20 MiB). The
    // costliest sound pictures measured (bench/picture_decoding_bench --largest) reach a
    // peak of 153 to 162 MiB, the memory file of their pixels included; a lossless WebP of
    // 300 KB that names 65,536 groups of codes takes 390 MiB in one call of libwebp.
    // AddressSanitizer's builds keep an eighth more for its shadow and a quarantine of freed
    // memory, and get that much more.
    static constexpr qint64 memoryPerProcess =
        underAddressSanitizer ? qint64(384) << 20 : qint64(320) << 20;
    // How long a process waits for its next picture before it ends.
    static constexpr std::chrono::milliseconds idleLifetime{20000};
    // How long one picture may take in all: a decoding that neither uses its CPU time nor
    // ends. Far above the CPU time, for a machine whose cores are all busy.
    static constexpr std::chrono::milliseconds timePerPicture{30000};
    // The environment variable that names the decoding program (tests and benchmarks, and any
    // program that links the image library without being installed beside it).
    static constexpr const char *programVariable = "TOLVARAN_PICTURE_DECODER";

    // The program's pool, never destroyed: its processes die with the program.
    static PictureDecoderPool &shared();
    // Kills the idle processes. A pool is destroyed only once none decodes.
    ~PictureDecoderPool() = default;
    PictureDecoderPool(const PictureDecoderPool &) = delete;
    PictureDecoderPool &operator=(const PictureDecoderPool &) = delete;

    // Decodes `bytes` as `request` asks, in a process of the pool, waiting for a free one
    // first when all are busy (as long as `stop` is not requested).
    DecoderOutcome decode(const QByteArray &bytes, const DecodeRequest &request,
                          const std::stop_token &stop);

    // Reaps the idle processes that have ended by themselves, so that none is left for the
    // system to keep: call it once the pool may have been idle for idleLifetime.
    void collectEnded();

    // The decoding program: the file the environment variable names, else
    // tolvaran-picture-decoder beside the running program, else where it is installed.
    static QString program();

private:
    friend class PictureDecoderPoolTesting;

    explicit PictureDecoderPool(DecoderProcessLimits limits);

    // A process to decode with: an idle one, a new one, or the first to be given back; none
    // when `stop` is requested first (abandoned) or the program cannot be started.
    std::variant<std::unique_ptr<PictureDecoderProcess>, RemoteImageError>
    take(const std::stop_token &stop);
    // Gives a process back, or its place where it has ended.
    void giveBack(std::unique_ptr<PictureDecoderProcess> process);

    std::mutex m_mutex;
    std::condition_variable_any m_given;
    DecoderProcessLimits m_limits;
    std::vector<std::unique_ptr<PictureDecoderProcess>> m_idle;
    // The processes decoding now, or being started.
    int m_busy = 0;
    std::set<pid_t> m_busyProcesses;
};

} // namespace tolvaran::markdown
