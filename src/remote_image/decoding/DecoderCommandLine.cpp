#include "remote_image/decoding/DecoderCommandLine.h"

namespace tolvaran::markdown {

namespace {

const QString cpuTimeOption = QStringLiteral("--cpu-time-ms=");
const QString memoryOption = QStringLiteral("--memory-bytes=");
const QString idleOption = QStringLiteral("--idle-ms=");

// The positive number of `argument` after `option`.
std::optional<qint64> valueOf(const QString &argument, const QString &option)
{
    if (!argument.startsWith(option))
        return std::nullopt;
    bool ok = false;
    const qint64 value = QStringView(argument).mid(option.size()).toLongLong(&ok);
    return ok && value > 0 ? std::optional(value) : std::nullopt;
}

} // namespace

QStringList DecoderCommandLine::arguments(const DecoderProcessLimits &limits)
{
    return {cpuTimeOption + QString::number(limits.cpuTimePerPicture.count()),
            memoryOption + QString::number(limits.memoryBytes),
            idleOption + QString::number(limits.idleLifetime.count())};
}

std::optional<DecoderProcessLimits> DecoderCommandLine::limits(const QStringList &arguments)
{
    if (arguments.size() != 3)
        return std::nullopt;
    const std::optional<qint64> cpuTime = valueOf(arguments[0], cpuTimeOption);
    const std::optional<qint64> memory = valueOf(arguments[1], memoryOption);
    const std::optional<qint64> idle = valueOf(arguments[2], idleOption);
    if (!cpuTime || !memory || !idle)
        return std::nullopt;
    // The time in all is the program's to keep.
    return DecoderProcessLimits{std::chrono::milliseconds(*cpuTime), *memory,
                                std::chrono::milliseconds(*idle), {}};
}

} // namespace tolvaran::markdown
