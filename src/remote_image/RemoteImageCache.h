#pragma once

#include "remote_image/DecodedImage.h"

#include <QUrl>

#include <optional>

namespace tolvaran::markdown {

// Decoded images by URL, each at the size it was last decoded at. Implementations must be
// safe to use from several threads.
class RemoteImageCache
{
public:
    virtual ~RemoteImageCache() = default;

    virtual std::optional<DecodedImage> image(const QUrl &url) const = 0;
    virtual void setImage(const DecodedImage &image, const QUrl &url) = 0;
};

} // namespace tolvaran::markdown
