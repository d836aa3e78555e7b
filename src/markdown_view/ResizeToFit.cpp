#include "markdown_view/ResizeToFit.h"

#include <QPainter>

namespace tolvaran::markdown {

QSizeF resizedToFit(const QSizeF &idealSize, qreal width)
{
    if (idealSize.isEmpty())
        return {0, 0};
    if (idealSize.width() > width) {
        const qreal fitted = std::max<qreal>(0, width);
        return {fitted, fitted * idealSize.height() / idealSize.width()};
    }
    return idealSize;
}

ResizeToFitItem::ResizeToFitItem(QImage image, const QSizeF &idealSize,
                                 const QString &accessibleName)
    : m_image(std::move(image))
    , m_idealSize(idealSize)
    , m_accessibleName(accessibleName)
{
}

void ResizeToFitItem::setImage(QImage image, const QSizeF &idealSize)
{
    m_image = std::move(image);
    m_idealSize = idealSize;
}

QSizeF ResizeToFitItem::doLayout(qreal width)
{
    return resizedToFit(m_idealSize, width);
}

void ResizeToFitItem::paint(const PaintContext &context, const QPointF &origin) const
{
    if (m_image.isNull() || size().isEmpty())
        return;
    QPainter &painter = *context.painter;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(origin, size()), m_image);
    painter.restore();
}

} // namespace tolvaran::markdown
