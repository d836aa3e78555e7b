#include "markdown/LibraryTreeWriter.h"

#include <QByteArray>

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm.h>

#include <algorithm>
#include <cstdint>
#include <limits>

// The node types of the table and strikethrough syntax are variables of the extensions
// library, given their values when the core extensions are registered. The library exports
// them but no installed header declares them.
extern "C" {
extern cmark_node_type CMARK_NODE_TABLE;
extern cmark_node_type CMARK_NODE_TABLE_ROW;
extern cmark_node_type CMARK_NODE_TABLE_CELL;
extern cmark_node_type CMARK_NODE_STRIKETHROUGH;
}

namespace tolvaran::markdown::Internal {

namespace {

// The table syntax stores the column count in 16 bits.
constexpr qsizetype maximumTableColumns = std::numeric_limits<uint16_t>::max();

// Builds a document from blocks. A node that cannot be made (an extension missing, a child
// the parent cannot hold) is left out with everything under it.
class TreeWriter final
{
public:
    // `forCommonMark`: the tree is to be written back as CommonMark (see taskList).
    explicit TreeWriter(bool forCommonMark)
        : m_forCommonMark(forCommonMark)
        , m_table(cmark_find_syntax_extension("table"))
        , m_strikethrough(cmark_find_syntax_extension("strikethrough"))
        , m_taskList(cmark_find_syntax_extension("tasklist"))
    {
    }

    LibraryNodePointer document(const QList<BlockNode> &blocks) const
    {
        LibraryNodePointer document(cmark_node_new(CMARK_NODE_DOCUMENT));
        if (document)
            appendBlocks(document.get(), blocks);
        return document;
    }

private:
    static void append(cmark_node *parent, LibraryNodePointer child)
    {
        if (child && cmark_node_append_child(parent, child.get()))
            child.release(); // now owned by the parent
    }

    void appendBlocks(cmark_node *parent, const QList<BlockNode> &blocks) const
    {
        for (const BlockNode &block : blocks)
            append(parent, make(block));
    }

    void appendInlines(cmark_node *parent, const QList<InlineNode> &nodes) const
    {
        for (const InlineNode &node : nodes)
            append(parent, make(node));
    }

    static LibraryNodePointer node(cmark_node_type type)
    {
        return LibraryNodePointer(cmark_node_new(type));
    }

    LibraryNodePointer extensionNode(cmark_node_type type, cmark_syntax_extension *extension) const
    {
        if (!extension || type == CMARK_NODE_NONE)
            return nullptr;
        return LibraryNodePointer(cmark_node_new_with_ext(type, extension));
    }

    // A cell made by the table extension gets side data that freeing the node never
    // releases (cells that the parser makes have none, and no renderer reads it), so a cell
    // is made as a plain node and then given the extension, as the parser does.
    LibraryNodePointer tableCell() const
    {
        if (!m_table || CMARK_NODE_TABLE_CELL == CMARK_NODE_NONE)
            return nullptr;
        LibraryNodePointer cell = node(CMARK_NODE_TABLE_CELL);
        if (cell && !cmark_node_set_syntax_extension(cell.get(), m_table))
            return nullptr;
        return cell;
    }

    static LibraryNodePointer withLiteral(cmark_node_type type, const QString &text)
    {
        LibraryNodePointer result = node(type);
        if (result)
            cmark_node_set_literal(result.get(), text.toUtf8().constData());
        return result;
    }

    LibraryNodePointer list(cmark_list_type type, bool isTight, const QList<RawListItem> &items) const
    {
        LibraryNodePointer result = node(CMARK_NODE_LIST);
        if (!result)
            return nullptr;
        cmark_node_set_list_type(result.get(), type);
        cmark_node_set_list_tight(result.get(), isTight ? 1 : 0);
        for (const RawListItem &item : items) {
            LibraryNodePointer itemNode = node(CMARK_NODE_ITEM);
            if (itemNode)
                appendBlocks(itemNode.get(), item.children);
            append(result.get(), std::move(itemNode));
        }
        return result;
    }

    LibraryNodePointer taskList(const BlockNode::TaskList &taskList) const
    {
        LibraryNodePointer result = node(CMARK_NODE_LIST);
        if (!result)
            return nullptr;
        cmark_node_set_list_type(result.get(), CMARK_BULLET_LIST);
        cmark_node_set_list_tight(result.get(), taskList.isTight ? 1 : 0);
        for (const RawTaskListItem &item : taskList.items) {
            LibraryNodePointer itemNode = extensionNode(CMARK_NODE_ITEM, m_taskList);
            if (!itemNode)
                continue;
            cmark_gfm_extensions_set_tasklist_item_checked(itemNode.get(), item.isCompleted);
            // The library writes a task item's first block on the line of its check box, where
            // anything but a paragraph ("- [ ] - b", "- [ ] ## title") reads back as the
            // item's text. An empty paragraph first ends that line, so the block starts on the
            // next one, indented into the item; reading it back drops the empty paragraph.
            const bool startsWithBlock =
                !item.children.isEmpty() && !item.children.first().as<BlockNode::Paragraph>();
            if (m_forCommonMark && startsWithBlock)
                append(itemNode.get(), node(CMARK_NODE_PARAGRAPH));
            appendBlocks(itemNode.get(), item.children);
            append(result.get(), std::move(itemNode));
        }
        return result;
    }

    LibraryNodePointer table(const BlockNode::Table &table) const
    {
        LibraryNodePointer result = extensionNode(CMARK_NODE_TABLE, m_table);
        if (!result)
            return nullptr;
        // The library's renderers read one alignment per cell without checking the column
        // count, so every row must fit the columns: the count covers the widest row (a tree
        // built in code may have rows wider than its alignments), and the extra columns have
        // no alignment.
        qsizetype columns = table.columnAlignments.size();
        for (const RawTableRow &row : table.rows)
            columns = std::max(columns, row.cells.size());
        columns = std::min(columns, maximumTableColumns);
        QByteArray alignments(columns, '\0');
        for (qsizetype column = 0; column < columns; ++column) {
            if (column < table.columnAlignments.size())
                alignments[column] = char(rawValue(table.columnAlignments[column]).unicode());
        }
        cmark_gfm_extensions_set_table_columns(result.get(), uint16_t(columns));
        cmark_gfm_extensions_set_table_alignments(
            result.get(), uint16_t(columns), reinterpret_cast<uint8_t *>(alignments.data()));

        for (const RawTableRow &row : table.rows) {
            LibraryNodePointer rowNode = extensionNode(CMARK_NODE_TABLE_ROW, m_table);
            if (!rowNode)
                continue;
            for (qsizetype column = 0; column < std::min(row.cells.size(), columns); ++column) {
                LibraryNodePointer cell = tableCell();
                if (!cell)
                    continue;
                appendInlines(cell.get(), row.cells[column].content);
                append(rowNode.get(), std::move(cell));
            }
            append(result.get(), std::move(rowNode));
        }
        if (cmark_node *header = cmark_node_first_child(result.get()))
            cmark_gfm_extensions_set_table_row_is_header(header, 1);
        return result;
    }

    LibraryNodePointer make(const BlockNode &block) const
    {
        if (const auto *quote = block.as<BlockNode::Blockquote>()) {
            LibraryNodePointer result = node(CMARK_NODE_BLOCK_QUOTE);
            if (result)
                appendBlocks(result.get(), quote->children);
            return result;
        }
        if (const auto *bulleted = block.as<BlockNode::BulletedList>())
            return list(CMARK_BULLET_LIST, bulleted->isTight, bulleted->items);
        if (const auto *numbered = block.as<BlockNode::NumberedList>()) {
            LibraryNodePointer result = list(CMARK_ORDERED_LIST, numbered->isTight, numbered->items);
            if (result)
                cmark_node_set_list_start(result.get(), numbered->start);
            return result;
        }
        if (const auto *tasks = block.as<BlockNode::TaskList>())
            return taskList(*tasks);
        if (const auto *code = block.as<BlockNode::CodeBlock>()) {
            LibraryNodePointer result = withLiteral(CMARK_NODE_CODE_BLOCK, code->content);
            if (result && code->fenceInfo)
                cmark_node_set_fence_info(result.get(), code->fenceInfo->toUtf8().constData());
            return result;
        }
        if (const auto *html = block.as<BlockNode::HtmlBlock>())
            return withLiteral(CMARK_NODE_HTML_BLOCK, html->content);
        if (const auto *paragraph = block.as<BlockNode::Paragraph>()) {
            LibraryNodePointer result = node(CMARK_NODE_PARAGRAPH);
            if (result)
                appendInlines(result.get(), paragraph->content);
            return result;
        }
        if (const auto *heading = block.as<BlockNode::Heading>()) {
            LibraryNodePointer result = node(CMARK_NODE_HEADING);
            if (result) {
                cmark_node_set_heading_level(result.get(), heading->level);
                appendInlines(result.get(), heading->content);
            }
            return result;
        }
        if (const auto *tableBlock = block.as<BlockNode::Table>())
            return table(*tableBlock);
        return node(CMARK_NODE_THEMATIC_BREAK);
    }

    LibraryNodePointer make(const InlineNode &inlineNode) const
    {
        LibraryNodePointer result;
        if (const auto *text = inlineNode.as<InlineNode::Text>())
            return withLiteral(CMARK_NODE_TEXT, text->text);
        if (inlineNode.as<InlineNode::SoftBreak>())
            return node(CMARK_NODE_SOFTBREAK);
        if (inlineNode.as<InlineNode::LineBreak>())
            return node(CMARK_NODE_LINEBREAK);
        if (const auto *code = inlineNode.as<InlineNode::Code>())
            return withLiteral(CMARK_NODE_CODE, code->text);
        if (const auto *html = inlineNode.as<InlineNode::Html>())
            return withLiteral(CMARK_NODE_HTML_INLINE, html->text);
        if (inlineNode.as<InlineNode::Emphasis>())
            result = node(CMARK_NODE_EMPH);
        else if (inlineNode.as<InlineNode::Strong>())
            result = node(CMARK_NODE_STRONG);
        else if (inlineNode.as<InlineNode::Strikethrough>())
            result = extensionNode(CMARK_NODE_STRIKETHROUGH, m_strikethrough);
        else if (const auto *link = inlineNode.as<InlineNode::Link>()) {
            result = node(CMARK_NODE_LINK);
            if (result)
                cmark_node_set_url(result.get(), link->destination.toUtf8().constData());
        } else if (const auto *image = inlineNode.as<InlineNode::Image>()) {
            result = node(CMARK_NODE_IMAGE);
            if (result)
                cmark_node_set_url(result.get(), image->source.toUtf8().constData());
        }
        if (result)
            appendInlines(result.get(), inlineNode.children());
        return result;
    }

    bool m_forCommonMark;
    cmark_syntax_extension *m_table;
    cmark_syntax_extension *m_strikethrough;
    cmark_syntax_extension *m_taskList;
};

} // namespace

void LibraryNodeDeleter::operator()(cmark_node *node) const
{
    cmark_node_free(node);
}

LibraryNodePointer writeLibraryTree(const QList<BlockNode> &blocks, bool forCommonMark)
{
    return TreeWriter(forCommonMark).document(blocks);
}

} // namespace tolvaran::markdown::Internal
