#include "markdown_view/items/InlinePicture.h"

#include "markdown_view/InlineImageProvider.h"

#include <utility>

namespace tolvaran::markdown {

InlinePicture::InlinePicture(QUrl url, int position,
                             std::shared_ptr<const InlineImageProvider> provider)
    : m_url(std::move(url))
    , m_position(position)
    , m_provider(std::move(provider))
{
}

InlinePicture::~InlinePicture()
{
    // Its load goes on, filling the cache, behind those of the pictures shown.
    setInView(false);
}

void InlinePicture::setInView(bool inView)
{
    const bool left = m_inView && !inView;
    m_inView = inView;
    // Only a load in flight matters to the loader, and its end forgets the picture again.
    if (!m_loading)
        return;
    if (inView)
        m_provider->drawing(m_url);
    else if (left)
        m_provider->stoppedDrawing(m_url);
}

} // namespace tolvaran::markdown
