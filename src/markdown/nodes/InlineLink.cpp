#include "markdown/nodes/InlineLink.h"

namespace tolvaran::markdown {

InlineLink::InlineLink(const QString &text, const QUrl &url)
    : InlineLink(url, InlineContent(InlineNode::Text{text}))
{
}

InlineLink::InlineLink(const QUrl &url, InlineContent linkContent)
    : destination(url.toString(QUrl::FullyEncoded))
    , content(std::move(linkContent))
{
}

InlineContent InlineLink::inlineContent() const
{
    return InlineContent(InlineNode::Link{destination, content.inlines()});
}

} // namespace tolvaran::markdown
