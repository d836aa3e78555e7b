#pragma once

#include "remote_image/RemoteImageResult.h"

#include <QSize>
#include <QUrl>

#include <functional>

class QObject;

namespace tolvaran::markdown {

// Turns an image address into a decoded image, asynchronously.
class RemoteImageLoader
{
public:
    using Completion = std::function<void(const RemoteImageResult &result)>;

    virtual ~RemoteImageLoader() = default;

    // Loads the image at `url` and calls `completion` exactly once, on the loader's thread in a
    // later turn of its event loop, unless `context` (when given) has been destroyed by then.
    // `imageBaseURL` is the folder (a file URL) that the document's images are resolved
    // against, or empty: a file URL is read only from inside that folder.
    virtual void image(const QUrl &url, const QUrl &imageBaseURL, QObject *context,
                       Completion completion) = 0;

    // The same for an image drawn no larger than `maximumSize` (device pixels; invalid for the
    // whole picture): the image may come decoded to fittedPictureSize, and the result still
    // tells the whole picture's size. A loader that decodes whole pictures only (the default)
    // ignores the size.
    virtual void imageAtSize(const QUrl &url, const QUrl &imageBaseURL, QSize maximumSize,
                             QObject *context, Completion completion)
    {
        Q_UNUSED(maximumSize);
        image(url, imageBaseURL, context, std::move(completion));
    }

    // The picture at `url`, asked for earlier and not yet delivered, is being drawn now: a
    // loader that queues its work may take it before pictures asked for earlier or not drawn
    // lately. Does nothing by default.
    virtual void drawing(const QUrl &url) { Q_UNUSED(url); }
    // The picture at `url`, told as being drawn earlier, has left the view (scrolled away, its
    // view hidden or gone): a loader that queues its work may take it after pictures asked for
    // and never drawn. Does nothing by default.
    virtual void stoppedDrawing(const QUrl &url) { Q_UNUSED(url); }
};

} // namespace tolvaran::markdown
