#include "remote_image_view/RemoteImage.h"

#include "remote_image/RemoteImageModel.h"

#include <QPainter>
#include <QPalette>

#include <cmath>

namespace tolvaran::markdown {

namespace {

std::optional<ImageSource> sourceFor(const QUrl &url, qreal scale)
{
    if (url.isEmpty())
        return std::nullopt;
    return ImageSource{url, scale};
}

} // namespace

RemoteImage::RemoteImage(const QUrl &url, qreal scale, EmptyContent emptyContent,
                         QWidget *parent)
    : QWidget(parent)
    , m_model(new RemoteImageModel(this))
    , m_source(sourceFor(url, scale))
    , m_emptyContent(emptyContent)
{
    // Never larger than the image; a placeholder may take whatever room it is offered.
    const QSizePolicy::Policy growth = emptyContent == EmptyContent::placeholder
                                           ? QSizePolicy::Preferred
                                           : QSizePolicy::Maximum;
    QSizePolicy policy(growth, growth);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    connect(m_model, &RemoteImageModel::imageChanged, this, &RemoteImage::imageChanged);
}

RemoteImage::~RemoteImage() = default;

void RemoteImage::setSource(const QUrl &url, qreal scale)
{
    m_source = sourceFor(url, scale);
    if (isVisible())
        m_model->sourceChanged(m_source);
}

void RemoteImage::setImageLoader(RemoteImageLoader *loader)
{
    m_model->setImageLoader(loader);
}

void RemoteImage::setImageBaseURL(const QUrl &url)
{
    m_model->setImageBaseURL(url);
}

std::optional<QSizeF> RemoteImage::idealSize() const
{
    if (m_model->image().kind() != RemoteImageState::Kind::success)
        return std::nullopt;
    return m_model->image().idealSize();
}

QSize RemoteImage::sizeHint() const
{
    if (const std::optional<QSizeF> ideal = idealSize())
        return ideal->toSize();
    return {0, 0};
}

QSize RemoteImage::minimumSizeHint() const
{
    return {0, 0};
}

bool RemoteImage::hasHeightForWidth() const
{
    return idealSize().has_value();
}

int RemoteImage::heightForWidth(int width) const
{
    const std::optional<QSizeF> ideal = idealSize();
    if (!ideal || ideal->width() <= 0)
        return 0;
    const qreal shown = std::min<qreal>(width, ideal->width());
    return int(std::lround(shown * ideal->height() / ideal->width()));
}

void RemoteImage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_model->sourceChanged(m_source);
}

void RemoteImage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const std::optional<QImage> image = m_model->image().image();
    if (!image) {
        if (m_emptyContent == EmptyContent::placeholder)
            painter.fillRect(rect(), palette().color(QPalette::Midlight));
        return;
    }
    const QSizeF ideal = m_model->image().idealSize();
    QSizeF shown = ideal.scaled(QSizeF(size()), Qt::KeepAspectRatio);
    if (shown.width() > ideal.width())
        shown = ideal;
    // The model keeps the pixels this size needs, loading them again when it changes.
    const QSizeF devicePixels = shown * devicePixelRatioF();
    m_model->setDrawnSize(QSize(int(std::ceil(devicePixels.width())),
                                int(std::ceil(devicePixels.height()))));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF(0, 0), shown), *image);
}

void RemoteImage::imageChanged()
{
    updateGeometry();
    update();
}

} // namespace tolvaran::markdown
