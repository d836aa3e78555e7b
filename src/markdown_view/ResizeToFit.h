#pragma once

#include "markdown_view/items/BlockItem.h"

#include <QImage>
#include <QSizeF>

namespace tolvaran::markdown {

// The size an image of `idealSize` is shown at in `width`: its own size, or narrower with its
// proportions kept when it does not fit; never larger than its own size.
QSizeF resizedToFit(const QSizeF &idealSize, qreal width);

// An image shown at its ideal size, shrunk to the width offered (see resizedToFit).
class ResizeToFitItem : public BlockItem
{
public:
    ResizeToFitItem(QImage image, const QSizeF &idealSize, const QString &accessibleName);

    const QImage &image() const { return m_image; }
    QSizeF idealSize() const { return m_idealSize; }
    const QString &accessibleName() const { return m_accessibleName; }

    void paint(const PaintContext &context, const QPointF &origin) const override;
    // A picture is no word: it shrinks to any width offered, so a table's column holding one
    // may be as narrow as the others leave it.
    qreal minimumWidth() const override { return 0; }

protected:
    QSizeF doLayout(qreal width) override;
    void setImage(QImage image, const QSizeF &idealSize);

private:
    QImage m_image;
    QSizeF m_idealSize;
    QString m_accessibleName;
};

} // namespace tolvaran::markdown
