#include "remote_image/RemoteImageModel.h"

#include "remote_image/DefaultRemoteImageLoader.h"

#include <cmath>
#include <cstdlib>

namespace tolvaran::markdown {

RemoteImageModel::RemoteImageModel(QObject *parent)
    : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(drawnSizeSettleTime);
    connect(&m_settle, &QTimer::timeout, this, [this] { refreshPixels(); });
}

RemoteImageModel::~RemoteImageModel()
{
    setInView(false);
}

void RemoteImageModel::sourceChanged(const std::optional<ImageSource> &source)
{
    if (source == m_source)
        return;
    m_source = source;
    ++m_generation;
    m_loading = false;
    if (m_source)
        loadImage(*m_source);
}

void RemoteImageModel::setDrawnSize(QSize size)
{
    // Views tell the size at every paint: only a change restarts the wait.
    if (size == m_drawnSize)
        return;
    m_drawnSize = size;
    if (m_source)
        m_settle.start();
}

void RemoteImageModel::pixelsNeeded()
{
    // Pixels of another size are drawn scaled meanwhile: the wait for the size to settle
    // decides about those.
    if (m_source && !m_loading && m_image.kind() == RemoteImageState::Kind::success
        && m_image.image()->isNull())
        loadImage(*m_source);
    // Whatever is on screen goes before the pictures scrolled past.
    if (m_source && m_loading)
        loader().drawing(m_source->url);
}

void RemoteImageModel::setInView(bool inView)
{
    const bool left = m_inView && !inView;
    m_inView = inView;
    // Only a load in flight matters to the loader, and its end forgets the picture again.
    if (!m_source || !m_loading)
        return;
    if (inView)
        loader().drawing(m_source->url);
    else if (left)
        loader().stoppedDrawing(m_source->url);
}

RemoteImageLoader &RemoteImageModel::loader() const
{
    return m_imageLoader ? *m_imageLoader : *DefaultRemoteImageLoader::shared();
}

void RemoteImageModel::releasePixels()
{
    if (const std::optional<QImage> image = m_image.image(); image && !image->isNull())
        m_image = RemoteImageState::success(QImage(), m_image.idealSize());
}

qint64 RemoteImageModel::heldBytes() const
{
    const std::optional<QImage> image = m_image.image();
    return image ? image->sizeInBytes() : 0;
}

void RemoteImageModel::refreshPixels()
{
    if (!m_source || m_loading || m_image.kind() != RemoteImageState::Kind::success)
        return;
    const QImage held = *m_image.image();
    if (held.isNull())
        return;
    const QSize wanted = fittedPictureSize(m_pictureSize, m_drawnSize);
    const bool differs =
        std::abs(held.width() - wanted.width()) > drawnSizeTolerance
        || std::abs(held.height() - wanted.height()) > drawnSizeTolerance;
    // A loader may answer with another size than asked (one that decodes whole pictures
    // only): the same request is not made again for it.
    if (differs && m_drawnSize != m_requestedSize)
        loadImage(*m_source);
}

void RemoteImageModel::loadImage(const ImageSource &source)
{
    const quint64 generation = ++m_generation;
    m_loading = true;
    m_requestedSize = m_drawnSize;
    loader().imageAtSize(
        source.url, m_imageBaseURL, m_drawnSize, this,
        [this, generation, source](const RemoteImageResult &result) {
            if (generation != m_generation)
                return;
            m_loading = false;
            if (result.succeeded())
                loadImageFinished(result.decoded(), source);
            else if (!showsCurrentSource())
                setImage(RemoteImageState::failure());
            // Otherwise the picture keeps its room and the pixels it holds (drawn scaled);
            // pixels released are asked for again when it is next drawn, not here, so a host
            // that stays unreachable is not asked in a loop.
            //
            // The drawn size may have changed while the load ran; while it is still
            // changing, the wait for it to settle decides.
            if (!m_settle.isActive())
                refreshPixels();
        });
}

bool RemoteImageModel::showsCurrentSource() const
{
    return m_image.kind() == RemoteImageState::Kind::success && m_shownSource
           && m_shownSource == m_source;
}

void RemoteImageModel::loadImageFinished(const DecodedImage &decoded, const ImageSource &source)
{
    m_shownSource = source;
    // A scale that is not a positive number would give an image of no or endless size.
    const qreal scale = source.scale;
    const qreal pixelsPerPoint = std::isfinite(scale) && scale > 0 ? scale : 1;
    m_pictureSize = decoded.pictureSize;
    const QSizeF idealSize(decoded.pictureSize.width() / pixelsPerPoint,
                           decoded.pictureSize.height() / pixelsPerPoint);
    QImage image = decoded.image;
    // Pixels decoded smaller than the picture stand for the same points. Set only where the
    // loader's differs (a picture of more than one pixel per point): setting it copies the
    // pixels, which the loader's cache holds too.
    const qreal ratio =
        idealSize.width() > 0 ? image.width() / idealSize.width() : pixelsPerPoint;
    if (!qFuzzyCompare(image.devicePixelRatio(), ratio))
        image.setDevicePixelRatio(ratio);
    setImage(RemoteImageState::success(image, idealSize));
}

void RemoteImageModel::setImage(const RemoteImageState &state)
{
    if (state == m_image)
        return;
    m_image = state;
    Q_EMIT imageChanged();
}

} // namespace tolvaran::markdown
