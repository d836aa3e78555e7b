#include "markdown_view/accessibility/AccessibleDocument.h"

#include "markdown_view/DocumentLayout.h"
#include "markdown_view/FocusTarget.h"
#include "markdown_view/items/ImageFlow.h"
#include "markdown_view/items/InlineText.h"
#include "markdown_view/MarkdownView.h"
#include "markdown_view/theme/ColorSchemeImageFilter.h"

#include <algorithm>
#include <functional>

namespace tolvaran::markdown {

namespace {

bool holdsImage(const QList<InlineNode> &nodes)
{
    return std::any_of(nodes.begin(), nodes.end(), [](const InlineNode &node) {
        return node.as<InlineNode::Image>() || holdsImage(node.children());
    });
}

// Builds the nodes of one top-level block.
class NodeBuilder final
{
public:
    NodeBuilder(const std::optional<QUrl> &baseURL, qsizetype block)
        : m_baseURL(baseURL)
        , m_block(block)
    {
    }

    AccessibleNode node(QAccessible::Role role) const
    {
        AccessibleNode node;
        node.role = role;
        node.block = m_block;
        return node;
    }

    // A text block with the links and images that stand in its text.
    AccessibleNode textBlock(QAccessible::Role role, const QList<InlineNode> &content)
    {
        AccessibleNode result = node(role);
        result.text = renderPlainText(content);
        addInlines(content, result);
        return result;
    }

    AccessibleNode block(const BlockNode &block)
    {
        if (const auto *paragraph = block.as<BlockNode::Paragraph>())
            return this->paragraph(QAccessible::Paragraph, paragraph->content);
        if (const auto *heading = block.as<BlockNode::Heading>()) {
            AccessibleNode result = textBlock(QAccessible::Heading, heading->content);
            result.name = result.text;
            result.level = heading->level;
            return result;
        }
        if (const auto *code = block.as<BlockNode::CodeBlock>())
            return literal(code->content);
        if (const auto *html = block.as<BlockNode::HtmlBlock>())
            return literal(html->content); // shown as its source, so read as it
        if (const auto *quote = block.as<BlockNode::Blockquote>())
            return container(QAccessible::Section, quote->children);
        if (const auto *list = block.as<BlockNode::BulletedList>())
            return this->list(list->items);
        if (const auto *list = block.as<BlockNode::NumberedList>())
            return this->list(list->items);
        if (const auto *tasks = block.as<BlockNode::TaskList>()) {
            AccessibleNode result = node(QAccessible::List);
            for (const RawTaskListItem &task : tasks->items) {
                AccessibleNode box = node(QAccessible::CheckBox);
                box.checked = task.isCompleted;
                box.readsInPlace = true;
                AccessibleNode item = container(QAccessible::ListItem, task.children);
                // Named by what the task says, as a labelled check box is; the words are then
                // the box's alone. Its pictures read in the box's name, as a picture in a link
                // reads in the link's; its links stay, to be followed, with no line of text.
                if (const auto *first = task.children.isEmpty()
                                            ? nullptr
                                            : task.children.first().as<BlockNode::Paragraph>()) {
                    box.name = renderPlainText(first->content);
                    AccessibleNode &words = item.children.front();
                    words.text.clear();
                    std::erase_if(words.children, [](const AccessibleNode &node) {
                        return node.role == QAccessible::Graphic;
                    });
                    for (AccessibleNode &link : words.children)
                        link.readsInPlace = false;
                }
                item.children.insert(item.children.begin(), std::move(box));
                result.children.push_back(std::move(item));
            }
            return result;
        }
        if (const auto *table = block.as<BlockNode::Table>())
            return this->table(*table);
        return node(QAccessible::Separator);
    }

private:
    // A paragraph or table cell. One that holds only pictures shows them as pictures (see
    // imageFlowItems): each reads its alternative text, so the block reads none of its own.
    AccessibleNode paragraph(QAccessible::Role role, const QList<InlineNode> &content)
    {
        AccessibleNode result = textBlock(role, content);
        if (imageFlowItems(content)) {
            result.text.clear();
            for (AccessibleNode &picture : result.children)
                picture.readsInPlace = true;
        }
        return result;
    }

    AccessibleNode literal(const QString &content) const
    {
        AccessibleNode result = node(QAccessible::Paragraph);
        result.text = content.endsWith(QLatin1Char('\n')) ? content.chopped(1) : content;
        return result;
    }

    AccessibleNode container(QAccessible::Role role, const QList<BlockNode> &children)
    {
        AccessibleNode result = node(role);
        for (const BlockNode &child : children)
            result.children.push_back(block(child));
        return result;
    }

    AccessibleNode list(const QList<RawListItem> &items)
    {
        AccessibleNode result = node(QAccessible::List);
        for (const RawListItem &item : items)
            result.children.push_back(container(QAccessible::ListItem, item.children));
        return result;
    }

    AccessibleNode table(const BlockNode::Table &table)
    {
        AccessibleNode result = node(QAccessible::Table);
        // The header row counts as row 0: the desktop's bridge takes a child's row as its
        // index divided by the columns.
        result.rowCount = int(table.rows.size());
        result.columnCount = int(table.columnAlignments.size());
        // As the view draws it: the table's columns whatever a row holds.
        for (int row = 0; row < int(table.rows.size()); ++row) {
            for (int column = 0; column < result.columnCount; ++column) {
                AccessibleNode cell =
                    paragraph(row == 0 ? QAccessible::ColumnHeader : QAccessible::Cell,
                              table.rows[row].cells.value(column).content);
                cell.name = cell.text;
                cell.row = row;
                cell.column = column;
                result.children.push_back(std::move(cell));
            }
        }
        return result;
    }

    void addInlines(const QList<InlineNode> &nodes, AccessibleNode &parent)
    {
        for (const InlineNode &child : nodes) {
            if (const auto *link = child.as<InlineNode::Link>()) {
                AccessibleNode result = node(QAccessible::Link);
                result.name = renderPlainText(link->children);
                result.url = resolvedLink(link->destination, m_baseURL).value_or(QUrl());
                result.opens = MarkdownView::opensOnDesktop(result.url);
                // A picture inside a link reads in the link's name: a node of its own would
                // read its alternative text a second time. A link with nothing to show draws
                // nothing the keyboard could reach.
                if (result.opens && (!result.name.isEmpty() || holdsImage(link->children)))
                    result.link = m_links++;
                parent.children.push_back(std::move(result));
            } else if (const auto *image = child.as<InlineNode::Image>()) {
                AccessibleNode result = node(QAccessible::Graphic);
                result.name = renderPlainText(image->children);
                parent.children.push_back(std::move(result));
            } else {
                addInlines(child.children(), parent);
            }
        }
    }

    const std::optional<QUrl> &m_baseURL;
    qsizetype m_block;
    int m_links = 0;
};

// A line between the texts of two blocks.
constexpr QChar blockSeparator = u'\n';

} // namespace

AccessibleDocument::AccessibleDocument(const QList<BlockNode> &blocks,
                                       const std::optional<QUrl> &baseURL, ColorScheme scheme)
{
    m_root.role = QAccessible::Document;
    const QList<BlockNode> shown = filterImagesMatching(blocks, scheme);
    m_root.children.reserve(std::size_t(shown.size()));
    for (qsizetype index = 0; index < shown.size(); ++index)
        m_root.children.push_back(NodeBuilder(baseURL, index).block(shown[index]));

    // The tree no longer moves: its nodes learn their parents and their place in the text.
    const auto settle = [this](const auto &self, AccessibleNode &node) -> void {
        const bool textBlock = node.role == QAccessible::Paragraph
                               || node.role == QAccessible::Heading
                               || node.role == QAccessible::Cell
                               || node.role == QAccessible::ColumnHeader;
        const QString &line = node.readsInPlace ? node.name : node.text;
        if ((textBlock || node.readsInPlace) && !line.isEmpty()) {
            if (!m_text.isEmpty())
                m_text += blockSeparator;
            node.textStart = m_text.size();
            m_text += line;
            m_textNodes.push_back(&node);
        }
        for (AccessibleNode &child : node.children) {
            child.parent = &node;
            self(self, child);
        }
    };
    settle(settle, m_root);
}

const AccessibleNode *AccessibleDocument::textNodeAt(qsizetype offset) const
{
    // The last text block that starts at or before the offset.
    const auto after = std::upper_bound(
        m_textNodes.begin(), m_textNodes.end(), offset,
        [](qsizetype at, const AccessibleNode *node) { return at < node->textStart; });
    if (after == m_textNodes.begin() || offset > m_text.size())
        return nullptr;
    return *std::prev(after);
}

const AccessibleNode *AccessibleDocument::link(qsizetype block, int link) const
{
    const std::function<const AccessibleNode *(const AccessibleNode &)> find =
        [&](const AccessibleNode &node) -> const AccessibleNode * {
        if (node.role == QAccessible::Link && node.link == link)
            return &node;
        for (const AccessibleNode &child : node.children) {
            if (const AccessibleNode *found = find(child))
                return found;
        }
        return nullptr;
    };
    const AccessibleNode *top = this->block(block);
    return top ? find(*top) : nullptr;
}

const AccessibleNode *AccessibleDocument::block(qsizetype block) const
{
    if (block < 0 || block >= qsizetype(m_root.children.size()))
        return nullptr;
    return &m_root.children[std::size_t(block)];
}

const AccessibleNode *AccessibleDocument::firstHeading() const
{
    for (const AccessibleNode *node : m_textNodes) {
        if (node->role == QAccessible::Heading)
            return node;
    }
    return nullptr;
}

const AccessibleNode *focusedNode(const AccessibleDocument &document, const FocusTarget &target)
{
    if (target.kind == FocusTarget::Kind::link)
        return document.link(target.block, target.blockLink);
    return document.block(target.block);
}

QRectF nodeFrame(DocumentLayout &layout, const AccessibleNode &node)
{
    if (node.block < 0 || node.block >= layout.laidOutCount())
        return {};
    // Only a block that holds its items is asked: one dropped is not built again for this.
    if (node.link >= 0 && layout.item(node.block)) {
        for (const FocusTarget &target : focusTargets(layout, node.block)) {
            if (target.blockLink == node.link && !target.rects.isEmpty())
                return target.rects.first();
        }
    }
    return layout.blockFrame(node.block);
}

} // namespace tolvaran::markdown
