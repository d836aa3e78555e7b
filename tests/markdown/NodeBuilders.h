#pragma once

#include "markdown/nodes/BlockNode.h"

#include <QStringView>

// Short spellings of node-model values for the tests: text(u"a"), paragraph({...}) and so on.
namespace tolvaran::markdown::testsupport {

inline InlineNode text(QStringView value)
{
    return InlineNode::Text{value.toString()};
}

inline InlineNode image(QStringView source, QList<InlineNode> description)
{
    return InlineNode::Image{source.toString(), std::move(description)};
}

inline InlineNode link(QStringView destination, QList<InlineNode> children)
{
    return InlineNode::Link{destination.toString(), std::move(children)};
}

inline BlockNode paragraph(QList<InlineNode> content)
{
    return BlockNode::Paragraph{std::move(content)};
}

} // namespace tolvaran::markdown::testsupport
