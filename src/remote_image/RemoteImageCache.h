#pragma once

#include <QImage>
#include <QUrl>

#include <optional>

namespace tolvaran::markdown {

// Decoded images by URL. Implementations must be safe to use from several threads.
class RemoteImageCache
{
public:
    virtual ~RemoteImageCache() = default;

    virtual std::optional<QImage> image(const QUrl &url) const = 0;
    virtual void setImage(const QImage &image, const QUrl &url) = 0;
};

} // namespace tolvaran::markdown
