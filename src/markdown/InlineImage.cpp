#include "markdown/InlineImage.h"

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

QList<InlineNode> InlineImage::inlines() const
{
    return {InlineNode::Image{source, content}};
}

} // namespace tolvaran::markdown
