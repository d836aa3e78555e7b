#include "markdown/nodes/InlineImage.h"

namespace tolvaran::markdown {

InlineImage::InlineImage(const QUrl &url)
    : source(url.toString(QUrl::FullyEncoded))
{
}

InlineImage::InlineImage(const QString &text, const QUrl &url)
    : source(url.toString(QUrl::FullyEncoded))
    , content{InlineNode::Text{text}}
{
}

InlineContent InlineImage::inlineContent() const
{
    return InlineContent(InlineNode::Image{source, content});
}

} // namespace tolvaran::markdown
