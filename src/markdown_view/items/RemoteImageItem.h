#pragma once

#include "markdown_view/ResizeToFit.h"
#include "markdown_view/items/ImagePixelBudget.h"
#include "markdown_view/items/PicturePlace.h"

#include <QUrl>

#include <functional>
#include <memory>

namespace tolvaran::markdown {

class RemoteImageLoader;
class RemoteImageModel;

// A network (or image-base file) image inside a rendered document: takes no room until its
// image has arrived, then shows it resized to fit. It is a layout item painted by the
// document's view rather than a widget, so it keeps the image model of a network image view
// itself; loading starts when it is first laid out, never when it is built. When the image
// arrives (or fails) it asks to be laid out again and calls `changed`.
//
// It keeps the picture's pixels at the size it is drawn at, in device pixels (the ideal size
// that layout uses stays the whole picture's), under the document's pixel budget when there
// is one: pixels the budget takes back load again when the item is next painted. A picture
// laid out at another size loads new pixels once it is painted at that size (and the size
// has settled); until then it draws those it holds, scaled.
class RemoteImageItem final : public ResizeToFitItem,
                              public PicturePlace,
                              private ImagePixelBudget::Holder
{
public:
    RemoteImageItem(const QUrl &url, const QUrl &imageBaseURL, RemoteImageLoader *loader,
                    std::function<void()> changed, const QString &accessibleName,
                    ImagePixelBudget *budget = nullptr);
    ~RemoteImageItem() override;

    const QUrl &url() const { return m_url; }
    // The model of its image; none before the item is first laid out.
    const RemoteImageModel *model() const { return m_model.get(); }

    void paint(const PaintContext &context, const QPointF &origin) const override;
    // Whether the view shows the item's place, which it has before the picture takes room
    // (see RemoteImageModel::setInView); told by the document's layout.
    void setInView(bool inView) override;

protected:
    QSizeF doLayout(qreal width) override;

private:
    void imageChanged();
    void releasePixels() override;
    // Tells the model that the item is drawn at `shown` points, at `pixelRatio` device pixels
    // a point.
    void setDrawnSize(const QSizeF &shown, qreal pixelRatio) const;

    QUrl m_url;
    QUrl m_imageBaseURL;
    RemoteImageLoader *m_loader;
    std::function<void()> m_changed;
    ImagePixelBudget *m_budget;
    // The device pixels per point it was last painted at; until then the screens' largest.
    mutable qreal m_pixelRatio;
    std::unique_ptr<RemoteImageModel> m_model;
};

} // namespace tolvaran::markdown
