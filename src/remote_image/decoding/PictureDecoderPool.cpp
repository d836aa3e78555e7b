#include "remote_image/decoding/PictureDecoderPool.h"

#include <QDir>
#include <QFileInfo>

namespace tolvaran::markdown {

namespace {

const QString programName = QStringLiteral("tolvaran-picture-decoder");

// A process that ended before it took its picture (its idle lifetime ran out as the picture
// was sent) hands the picture on; the next is new, or was in use a moment ago.
constexpr int attemptsPerPicture = 3;

} // namespace

PictureDecoderPool &PictureDecoderPool::shared()
{
    // Never destroyed: a decoding thread may still give its process back as the program
    // ends. The processes end with the program all the same, when their sockets close.
    static PictureDecoderPool *const pool = new PictureDecoderPool(
        {cpuTimePerPicture, memoryPerProcess, idleLifetime, timePerPicture});
    return *pool;
}

PictureDecoderPool::PictureDecoderPool(DecoderProcessLimits limits)
    : m_limits(limits)
{
}

QString PictureDecoderPool::program()
{
    if (const QString named = qEnvironmentVariable(programVariable); !named.isEmpty())
        return named;
    const QFileInfo running(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget());
    const QString beside = running.dir().filePath(programName);
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStringLiteral(TOLVARAN_PICTURE_DECODER_INSTALLED);
}

DecoderOutcome PictureDecoderPool::decode(const QByteArray &bytes, const DecodeRequest &request,
                                          const std::stop_token &stop)
{
    DecoderOutcome outcome;
    for (int attempt = 0; attempt < attemptsPerPicture; ++attempt) {
        auto taken = take(stop);
        if (const auto *error = std::get_if<RemoteImageError>(&taken))
            return {*error};
        auto process = std::get<std::unique_ptr<PictureDecoderProcess>>(std::move(taken));
        outcome = process->decode(bytes, request, stop);
        giveBack(std::move(process));
        if (!outcome.notTaken)
            return outcome;
    }
    return {outcome.result};
}

void PictureDecoderPool::collectEnded()
{
    const std::lock_guard lock(m_mutex);
    std::erase_if(m_idle, [](const auto &process) { return process->hasEnded(); });
}

std::variant<std::unique_ptr<PictureDecoderProcess>, RemoteImageError>
PictureDecoderPool::take(const std::stop_token &stop)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        while (!m_idle.empty()) {
            std::unique_ptr<PictureDecoderProcess> process = std::move(m_idle.back());
            m_idle.pop_back();
            // One that has ended by itself, idle, is reaped here and replaced.
            if (!process->hasEnded()) {
                ++m_busy;
                m_busyProcesses.insert(process->pid());
                return process;
            }
        }
        if (m_busy < maximumProcesses) {
            ++m_busy;
            const DecoderProcessLimits limits = m_limits;
            lock.unlock();
            auto started = PictureDecoderProcess::start(program(), limits);
            lock.lock();
            if (const auto *process =
                    std::get_if<std::unique_ptr<PictureDecoderProcess>>(&started)) {
                m_busyProcesses.insert((*process)->pid());
            } else {
                --m_busy;
                m_given.notify_one();
            }
            return started;
        }
        if (!m_given.wait(lock, stop,
                          [this] { return !m_idle.empty() || m_busy < maximumProcesses; }))
            return RemoteImageError{RemoteImageErrorKind::abandoned, {}};
    }
}

void PictureDecoderPool::giveBack(std::unique_ptr<PictureDecoderProcess> process)
{
    const std::lock_guard lock(m_mutex);
    m_busyProcesses.erase(process->pid());
    --m_busy;
    if (!process->hasEnded())
        m_idle.push_back(std::move(process));
    m_given.notify_one();
}

} // namespace tolvaran::markdown
