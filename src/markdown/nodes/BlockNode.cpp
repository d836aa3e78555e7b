#include "markdown/nodes/BlockNode.h"

namespace tolvaran::markdown {

namespace {

template <typename Item>
QList<BlockNode> childrenOfItems(const QList<Item> &items)
{
    QList<BlockNode> children;
    for (const Item &item : items)
        children.append(item.children);
    return children;
}

template <typename Item>
QList<Item> rewriteItems(QList<Item> items, const InlineRewriteRule &rule)
{
    for (Item &item : items)
        item.children = rewrite(item.children, rule);
    return items;
}

} // namespace

// Defaulted here rather than in the class: these cases hold lists of BlockNode or InlineNode,
// and clang deletes a comparison defaulted where the node type is still incomplete.
bool operator==(const BlockNode::Blockquote &, const BlockNode::Blockquote &) = default;
bool operator==(const BlockNode::Paragraph &, const BlockNode::Paragraph &) = default;
bool operator==(const BlockNode::Heading &, const BlockNode::Heading &) = default;
bool operator==(const BlockNode::Table &, const BlockNode::Table &) = default;

QList<BlockNode> BlockNode::children() const
{
    if (const auto *quote = as<Blockquote>())
        return quote->children;
    if (const auto *list = as<BulletedList>())
        return childrenOfItems(list->items);
    if (const auto *list = as<NumberedList>())
        return childrenOfItems(list->items);
    if (const auto *list = as<TaskList>())
        return childrenOfItems(list->items);
    return {};
}

QList<BlockNode> BlockNode::rewrite(const InlineRewriteRule &rule) const
{
    const BlockNode rewritten = std::visit(
        [&](auto payload) -> BlockNode {
            using Case = decltype(payload);
            if constexpr (std::is_same_v<Case, Blockquote>) {
                payload.children = markdown::rewrite(payload.children, rule);
            } else if constexpr (std::is_same_v<Case, BulletedList>
                                 || std::is_same_v<Case, NumberedList>
                                 || std::is_same_v<Case, TaskList>) {
                payload.items = rewriteItems(std::move(payload.items), rule);
            } else if constexpr (std::is_same_v<Case, Paragraph>
                                 || std::is_same_v<Case, Heading>) {
                payload.content = markdown::rewrite(payload.content, rule);
            } else if constexpr (std::is_same_v<Case, Table>) {
                for (RawTableRow &row : payload.rows) {
                    for (RawTableCell &cell : row.cells)
                        cell.content = markdown::rewrite(cell.content, rule);
                }
            }
            return payload;
        },
        value);
    return {rewritten};
}

size_t qHash(const BlockNode &node, size_t seed) noexcept
{
    seed = ::qHash(node.value.index(), seed);
    return std::visit(
        [seed](const auto &payload) -> size_t {
            using Case = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<Case, BlockNode::Blockquote>)
                return qHashRange(payload.children.begin(), payload.children.end(), seed);
            else if constexpr (std::is_same_v<Case, BlockNode::BulletedList>
                               || std::is_same_v<Case, BlockNode::TaskList>)
                return qHashMulti(seed, payload.isTight, payload.items);
            else if constexpr (std::is_same_v<Case, BlockNode::NumberedList>)
                return qHashMulti(seed, payload.isTight, payload.start, payload.items);
            else if constexpr (std::is_same_v<Case, BlockNode::CodeBlock>)
                return qHashMulti(seed, payload.fenceInfo.has_value(),
                                  payload.fenceInfo.value_or(QString()), payload.content);
            else if constexpr (std::is_same_v<Case, BlockNode::HtmlBlock>)
                return ::qHash(payload.content, seed);
            else if constexpr (std::is_same_v<Case, BlockNode::Paragraph>)
                return qHashRange(payload.content.begin(), payload.content.end(), seed);
            else if constexpr (std::is_same_v<Case, BlockNode::Heading>)
                return qHashMulti(seed, payload.level, payload.content);
            else if constexpr (std::is_same_v<Case, BlockNode::Table>)
                return qHashMulti(seed, payload.columnAlignments, payload.rows);
            else
                return seed;
        },
        node.value);
}

QList<BlockNode> rewrite(const QList<BlockNode> &blocks, const InlineRewriteRule &rule)
{
    QList<BlockNode> result;
    result.reserve(blocks.size());
    for (const BlockNode &block : blocks)
        result.append(block.rewrite(rule));
    return result;
}

} // namespace tolvaran::markdown
