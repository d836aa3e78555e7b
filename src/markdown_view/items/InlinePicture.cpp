#include "markdown_view/items/InlinePicture.h"

#include "remote_image/RemoteImageModel.h"

#include <utility>

namespace tolvaran::markdown {

InlinePicture::InlinePicture(const QUrl &url, const QString &label, int position,
                             const QUrl &imageBaseURL,
                             std::shared_ptr<const InlineImageProvider> provider,
                             ImagePixelBudget *budget, std::function<void()> changed)
    : m_position(position)
    , m_label(label)
    , m_loader(std::move(provider), label)
    , m_item(url, imageBaseURL, &m_loader, std::move(changed), label, budget)
{
}

bool InlinePicture::isLoading() const
{
    return !m_item.model() || m_item.model()->image().kind() == RemoteImageState::Kind::empty;
}

bool InlinePicture::failed() const
{
    return m_item.model() && m_item.model()->image().kind() == RemoteImageState::Kind::failure;
}

void InlinePicture::layout(qreal width)
{
    // The picture arrived since it was laid out at this width: its size is new.
    m_item.takeLayoutRequest();
    m_item.layout(width);
}

void InlinePicture::paint(const PaintContext &context, const QPointF &origin) const
{
    m_item.paint(context, origin);
}

} // namespace tolvaran::markdown
