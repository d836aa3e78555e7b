#pragma once

#include "remote_image/decoding/PictureDecoderProcess.h"

#include <QStringList>

#include <optional>

namespace tolvaran::markdown {

// How the program starts a decoding process: the descriptor its socket is given as, and the
// arguments that carry its limits. Both sides read them here, so that they cannot disagree.
class DecoderCommandLine final
{
public:
    // The descriptor of the process's end of its socket.
    static constexpr int socketDescriptor = 3;

    // The arguments after the program's name.
    static QStringList arguments(const DecoderProcessLimits &limits);
    // The limits `arguments` (after the program's name) give; none unless they give each of
    // them, as positive numbers, and nothing else.
    static std::optional<DecoderProcessLimits> limits(const QStringList &arguments);
};

} // namespace tolvaran::markdown
