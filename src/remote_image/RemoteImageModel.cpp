#include "remote_image/RemoteImageModel.h"

#include "remote_image/DefaultRemoteImageLoader.h"

#include <cmath>

namespace tolvaran::markdown {

RemoteImageModel::RemoteImageModel(QObject *parent)
    : QObject(parent)
{
}

void RemoteImageModel::sourceChanged(const std::optional<ImageSource> &source)
{
    if (source == m_source)
        return;
    m_source = source;
    ++m_generation;
    if (m_source)
        loadImage(*m_source);
}

void RemoteImageModel::loadImage(const ImageSource &source)
{
    RemoteImageLoader *loader =
        m_imageLoader ? m_imageLoader : DefaultRemoteImageLoader::shared();
    const quint64 generation = m_generation;
    loader->image(source.url, m_imageBaseURL, this,
                  [this, generation, scale = source.scale](const RemoteImageResult &result) {
                      if (generation != m_generation)
                          return;
                      if (result.succeeded())
                          loadImageFinished(result.image(), scale);
                      else
                          setImage(RemoteImageState::failure());
                  });
}

void RemoteImageModel::loadImageFinished(const QImage &image, qreal scale)
{
    // A scale that is not a positive number would give an image of no or endless size.
    const qreal pixelsPerPoint = std::isfinite(scale) && scale > 0 ? scale : 1;
    QImage scaled = image;
    scaled.setDevicePixelRatio(pixelsPerPoint);
    setImage(RemoteImageState::success(
        scaled, QSizeF(image.width() / pixelsPerPoint, image.height() / pixelsPerPoint)));
}

void RemoteImageModel::setImage(const RemoteImageState &state)
{
    if (state == m_image)
        return;
    m_image = state;
    Q_EMIT imageChanged();
}

} // namespace tolvaran::markdown
