#include "markdown/nodes/TextTable.h"

#include "markdown/nodes/BlockNode.h"

namespace tolvaran::markdown {

MarkdownContent TextTable::markdownContent() const
{
    return MarkdownContent(QList<BlockNode>{BlockNode::Table{columnAlignments, rows}});
}

RawTableColumnAlignment TextTable::alignmentOf(std::optional<TextTableColumnAlignment> alignment)
{
    if (!alignment)
        return RawTableColumnAlignment::none;
    switch (*alignment) {
    case TextTableColumnAlignment::leading:
        return RawTableColumnAlignment::left;
    case TextTableColumnAlignment::center:
        return RawTableColumnAlignment::center;
    case TextTableColumnAlignment::trailing:
        break;
    }
    return RawTableColumnAlignment::right;
}

} // namespace tolvaran::markdown
