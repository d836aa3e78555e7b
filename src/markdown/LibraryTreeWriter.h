#pragma once

#include "markdown/nodes/BlockNode.h"

#include <QList>

#include <memory>

struct cmark_node;

namespace tolvaran::markdown::Internal {

// Frees a node of the Markdown library with everything below it.
struct LibraryNodeDeleter
{
    void operator()(cmark_node *node) const;
};
using LibraryNodePointer = std::unique_ptr<cmark_node, LibraryNodeDeleter>;

// The library's document for `blocks`, for the library to render back; null when the library
// makes no document. A node that cannot be made (an extension missing, a child the parent
// cannot hold) is left out with everything under it. `forCommonMark`: the tree is to be
// written back as CommonMark, which needs a task item that starts with a block other than a
// paragraph to start with an empty one. Call with the library's lock held and its core
// extensions registered (see MarkdownParser.h).
LibraryNodePointer writeLibraryTree(const QList<BlockNode> &blocks, bool forCommonMark);

} // namespace tolvaran::markdown::Internal
