#pragma once

#include "remote_image/ImageSource.h"
#include "remote_image/RemoteImageState.h"

#include <QObject>

#include <optional>

namespace tolvaran::markdown {

class RemoteImageLoader;

// The state of one network image view, on the GUI thread: the source it shows and what has
// been loaded for it. The view hands it each source it is given (and again when it comes on
// screen); the model loads a source when it differs from the last one.
//
// Only the current source's load may publish: a slow load of an earlier source that ends
// after the source has changed is dropped, so it never replaces a newer image.
class RemoteImageModel final : public QObject
{
    Q_OBJECT

public:
    explicit RemoteImageModel(QObject *parent = nullptr);

    const std::optional<ImageSource> &source() const { return m_source; }
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

Q_SIGNALS:
    void imageChanged();

private:
    void loadImage(const ImageSource &source);
    void loadImageFinished(const QImage &image, qreal scale);
    void setImage(const RemoteImageState &state);

    std::optional<ImageSource> m_source;
    RemoteImageState m_image = RemoteImageState::empty();
    RemoteImageLoader *m_imageLoader = nullptr;
    QUrl m_imageBaseURL;
    // Raised with every change of source; a load's outcome counts only under its own.
    quint64 m_generation = 0;
};

} // namespace tolvaran::markdown
