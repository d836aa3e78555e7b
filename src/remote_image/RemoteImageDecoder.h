#pragma once

#include "remote_image/RemoteImageResult.h"

#include <QByteArray>

namespace tolvaran::markdown {

// Turns downloaded bytes into an image with Qt's image readers (any format a plug-in reads,
// SVG included), first frame only. Runs on any thread.
struct RemoteImageDecoder final
{
    // The most pixels an image may have (4096 by 4096). A file of a few hundred bytes can
    // declare a picture of billions of pixels; such a picture is refused before any memory
    // is set aside for it.
    static constexpr qint64 maximumPixels = qint64(4096) * 4096;
    // What a reader may allocate for one image, in MiB: the pixel budget at 8 bytes a pixel
    // (16-bit colour), for readers that cannot tell their size before decoding.
    static constexpr int allocationLimitMiB = int(maximumPixels * 8 / (1024 * 1024));

    static RemoteImageResult decode(const QByteArray &bytes);
};

} // namespace tolvaran::markdown
