#pragma once

#include "remote_image/DecodedImage.h"
#include "remote_image/ImageSource.h"
#include "remote_image/RemoteImageState.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <optional>

namespace tolvaran::markdown {

class RemoteImageLoader;

// The state of one network image view, on the GUI thread: the source it shows and what has
// been loaded for it. The view hands it each source it is given (and again when it comes on
// screen); the model loads a source when it differs from the last one.
//
// Only the current source's load may publish: a slow load of an earlier source that ends
// after the source has changed is dropped, so it never replaces a newer image.
//
// The pixels kept are those the view draws: given the size it draws the image at, the model
// asks the loader for the picture at that size, and loads it again, at the new size, once the
// view has drawn it at another size than the pixels held for drawnSizeSettleTime (the held
// image shows, scaled, meanwhile). The ideal size is always that of the whole picture.
//
// A picture once shown stays: a load of the same source that fails (for another size, or for
// pixels released) leaves the state a success with its ideal size and whatever pixels it
// holds. Only a source that never loaded, or a new one, can end in failure.
class RemoteImageModel final : public QObject
{
    Q_OBJECT

public:
    // Pixels that the image held may differ by, each way, from the size it is drawn at before
    // it is loaded again: rounding the drawn size to pixels does not call for a new image.
    static constexpr int drawnSizeTolerance = 1;
    // How long the drawn size must hold before pixels are loaded for it: a window dragged
    // wider changes it many times a second, and each load decodes the picture anew.
    static constexpr std::chrono::milliseconds drawnSizeSettleTime{300};

    explicit RemoteImageModel(QObject *parent = nullptr);
    // Gone while in view, its load in flight, the picture leaves the view: the load goes on
    // (filling the cache) behind those of the pictures shown.
    ~RemoteImageModel() override;

    const std::optional<ImageSource> &source() const { return m_source; }
    // After releasePixels, a success whose image is null.
    const RemoteImageState &image() const { return m_image; }

    // The loader that later loads use; none (the default) stands for the shared loader. It
    // is not owned and must outlive the model's loads.
    RemoteImageLoader *imageLoader() const { return m_imageLoader; }
    void setImageLoader(RemoteImageLoader *loader) { m_imageLoader = loader; }

    // The folder (a file URL) that the document's images are resolved against; file images
    // load only from inside it. Empty by default.
    QUrl imageBaseURL() const { return m_imageBaseURL; }
    void setImageBaseURL(const QUrl &url) { m_imageBaseURL = url; }

    // Takes `source` as the current source and, when it is present and differs from the last
    // one, starts loading it. The state keeps showing the previous outcome until the new one
    // is known; a missing source loads nothing and leaves the state as it is.
    void sourceChanged(const std::optional<ImageSource> &source);

    // The most the image is drawn at, in device pixels (invalid, the default: the whole
    // picture). Loads ask for the picture fitted within it; once an image has loaded, a size
    // that needs other pixels than those held, and holds for drawnSizeSettleTime, loads it
    // again.
    void setDrawnSize(QSize size);
    QSize drawnSize() const { return m_drawnSize; }
    // Lets go of the pixels held, keeping the state's kind and ideal size, without a change
    // signal (whoever released them knows); they load again when the view next draws the
    // image (pixelsNeeded), not before.
    void releasePixels();
    // The view is drawing the image: pixels released are loaded again (at once, since there is
    // nothing to draw meanwhile), also after such a load failed, and a load in flight goes
    // before those of pictures not drawn lately (RemoteImageLoader::drawing).
    void pixelsNeeded();
    // Whether the view shows the image's place: told at each paint while it does, also while
    // the image takes no room (its first load running), and once when it no longer does
    // (scrolled away, the view hidden). A load in flight while in view goes before those of
    // pictures not in view (RemoteImageLoader::drawing), and one that leaves the view behind
    // those of pictures never shown (RemoteImageLoader::stoppedDrawing).
    void setInView(bool inView);
    // The bytes of the pixels held.
    qint64 heldBytes() const;

Q_SIGNALS:
    void imageChanged();

private:
    friend class RemoteImageModelTesting;

    RemoteImageLoader &loader() const;
    void loadImage(const ImageSource &source);
    void loadImageFinished(const DecodedImage &image, const ImageSource &source);
    // Whether the state shows a picture of the current source.
    bool showsCurrentSource() const;
    void setImage(const RemoteImageState &state);
    // Loads the pixels again where those held do not suit the drawn size (none held: they
    // were released, and wait for pixelsNeeded).
    void refreshPixels();

    std::optional<ImageSource> m_source;
    RemoteImageState m_image = RemoteImageState::empty();
    RemoteImageLoader *m_imageLoader = nullptr;
    QUrl m_imageBaseURL;
    // Raised with every load and every change of source; a load's outcome counts only under
    // its own, so only the last load asked for publishes.
    quint64 m_generation = 0;
    bool m_loading = false;
    bool m_inView = false;
    QSize m_drawnSize;
    // The drawn size the last load asked for, and the whole picture's size it brought.
    QSize m_requestedSize;
    QSize m_pictureSize;
    // The source of the picture that the state shows, once one has loaded.
    std::optional<ImageSource> m_shownSource;
    // Runs from the last change of the drawn size until it has held long enough.
    QTimer m_settle;
};

} // namespace tolvaran::markdown
