#include "markdown_view/items/RemoteImageItem.h"

#include "remote_image/RemoteImageModel.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>

#include <cmath>

namespace tolvaran::markdown {

RemoteImageItem::RemoteImageItem(const QUrl &url, const QUrl &imageBaseURL,
                                 RemoteImageLoader *loader, std::function<void()> changed,
                                 const QString &accessibleName, ImagePixelBudget *budget)
    : ResizeToFitItem(QImage(), QSizeF(), accessibleName)
    , m_url(url)
    , m_imageBaseURL(imageBaseURL)
    , m_loader(loader)
    , m_changed(std::move(changed))
    , m_budget(budget)
    , m_pixelRatio(qGuiApp ? qGuiApp->devicePixelRatio() : 1)
{
}

RemoteImageItem::~RemoteImageItem()
{
    if (m_budget)
        m_budget->remove(this);
}

QSizeF RemoteImageItem::doLayout(qreal width)
{
    if (!m_model) {
        // The model is the load's context: destroying this item drops its outcome.
        m_model = std::make_unique<RemoteImageModel>();
        m_model->setImageLoader(m_loader);
        m_model->setImageBaseURL(m_imageBaseURL);
        QObject::connect(m_model.get(), &RemoteImageModel::imageChanged, m_model.get(),
                         [this] { imageChanged(); });
        // Its height is not known yet: no wider than the room offered (a table measuring
        // its columns offers unbounded room, which asks for the whole picture).
        if (!isUnbounded(width))
            m_model->setDrawnSize(maximumSizeForWidth(width * m_pixelRatio));
        m_model->sourceChanged(ImageSource{m_url, 1});
    }
    // Later sizes reach the model only from paint: a picture laid out anew but not drawn
    // (off screen, or a measure at unbounded width) needs no new pixels, and decoding them for
    // every picture of the document at each new width would cost seconds.
    return ResizeToFitItem::doLayout(width);
}

void RemoteImageItem::setDrawnSize(const QSizeF &shown, qreal pixelRatio) const
{
    m_pixelRatio = pixelRatio;
    m_model->setDrawnSize(QSize(int(std::ceil(shown.width() * pixelRatio)),
                                int(std::ceil(shown.height() * pixelRatio))));
}

void RemoteImageItem::paint(const PaintContext &context, const QPointF &origin) const
{
    if (!m_model || size().isEmpty())
        return;
    if (m_budget)
        m_budget->painted(const_cast<RemoteImageItem *>(this));
    // Drawn sharp on the device painted to: pixels for its pixel ratio, loaded again when
    // they were released or were decoded for another size.
    const QPaintDevice *device = context.painter->device();
    setDrawnSize(size(), device ? device->devicePixelRatioF() : 1);
    m_model->pixelsNeeded();
    const std::optional<QImage> image = m_model->image().image();
    if (!image || image->isNull())
        return;
    QPainter &painter = *context.painter;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(origin, size()), *image);
    painter.restore();
}

void RemoteImageItem::setInView(bool inView)
{
    if (m_model)
        m_model->setInView(inView);
}

void RemoteImageItem::imageChanged()
{
    const RemoteImageState &state = m_model->image();
    // A failed image takes no room, as one still loading. The pixels are drawn from the
    // model, which alone holds them.
    if (state.kind() == RemoteImageState::Kind::success)
        setImage(QImage(), state.idealSize());
    else
        setImage(QImage(), QSizeF());
    if (m_budget)
        m_budget->setHeld(this, m_model->heldBytes());
    setNeedsLayout();
    if (m_changed)
        m_changed();
}

void RemoteImageItem::releasePixels()
{
    if (m_model)
        m_model->releasePixels();
}

} // namespace tolvaran::markdown
