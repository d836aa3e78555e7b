#pragma once

#include "markdown_view/items/InlinePictureLoader.h"
#include "markdown_view/items/RemoteImageItem.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

namespace tolvaran::markdown {

class ImagePixelBudget;
class InlineImageProvider;
struct PaintContext;

// A picture standing in a line of text, from the time its load is asked for: where it stands in
// the text until it shows, its label, and the picture itself, a RemoteImageItem loading through
// the view's inline image provider. So it holds pixels as a block picture does: decoded at the
// size it is drawn (in device pixels), under the document's pixel budget, let go and asked for
// again when painted, and its provider hears whether the view shows its place while a load is
// in flight (InlineImageProvider::drawing and stoppedDrawing). Gone while in view and loading,
// it has left the view. `changed` is called whenever its picture changes (arrived, failed,
// pixels loaded again).
class InlinePicture final
{
public:
    InlinePicture(const QUrl &url, const QString &label, int position, const QUrl &imageBaseURL,
                  std::shared_ptr<const InlineImageProvider> provider, ImagePixelBudget *budget,
                  std::function<void()> changed);
    InlinePicture(const InlinePicture &) = delete;
    InlinePicture &operator=(const InlinePicture &) = delete;

    // Where it stands in the text of its item while it takes no room.
    int position() const { return m_position; }
    const QString &label() const { return m_label; }
    // Whether its first load has not ended yet, and whether it ended in failure.
    bool isLoading() const;
    bool failed() const;
    // Its size in points, the whole picture's; empty until it arrived.
    QSizeF idealSize() const { return m_item.idealSize(); }

    // Lays it out for a line `width` wide (starting its load the first time): it is shrunk to
    // the width where wider, as a block picture is (resizedToFit).
    void layout(qreal width);
    QSizeF size() const { return m_item.size(); }
    // Paints it, at its laid-out size, with its top left at `origin`.
    void paint(const PaintContext &context, const QPointF &origin) const;
    // The picture itself: where the view tells whether it shows the picture's place, and what
    // holds its pixels.
    RemoteImageItem &item() { return m_item; }
    const RemoteImageItem &item() const { return m_item; }

private:
    int m_position;
    QString m_label;
    // Before the item, whose loads go through it.
    InlinePictureLoader m_loader;
    RemoteImageItem m_item;
};

} // namespace tolvaran::markdown
