#pragma once

#include "markdown/nodes/InlineNode.h"
#include "markdown/raw/RawListItem.h"
#include "markdown/raw/RawTableColumnAlignment.h"
#include "markdown/raw/RawTableRow.h"
#include "markdown/raw/RawTaskListItem.h"
#include "markdown/VariantAlternative.h"

#include <QList>
#include <QString>

#include <optional>
#include <variant>

namespace tolvaran::markdown {

// One block of a parsed document. A value: copies share their storage and a tree never
// changes once built; every transformation builds a new tree.
//
// The cases are alternatives of `value`, in this order (the order is part of the hash):
// block quote, bulleted list, numbered list, task list, code block, HTML block, paragraph,
// heading, table, thematic break.
struct BlockNode
{
    struct Blockquote
    {
        QList<BlockNode> children;
        friend bool operator==(const Blockquote &, const Blockquote &);
    };
    // A tight list has no blank lines between its items.
    struct BulletedList
    {
        bool isTight = true;
        QList<RawListItem> items;
        friend bool operator==(const BulletedList &, const BulletedList &) = default;
    };
    struct NumberedList
    {
        bool isTight = true;
        int start = 1; // the number of the first item
        QList<RawListItem> items;
        friend bool operator==(const NumberedList &, const NumberedList &) = default;
    };
    struct TaskList
    {
        bool isTight = true;
        QList<RawTaskListItem> items;
        friend bool operator==(const TaskList &, const TaskList &) = default;
    };
    // The info string of a fence (usually a language name), absent when there is none; the
    // content is the literal text, line breaks included.
    struct CodeBlock
    {
        std::optional<QString> fenceInfo;
        QString content;
        friend bool operator==(const CodeBlock &, const CodeBlock &) = default;
    };
    struct HtmlBlock
    {
        QString content;
        friend bool operator==(const HtmlBlock &, const HtmlBlock &) = default;
    };
    struct Paragraph
    {
        QList<InlineNode> content;
        friend bool operator==(const Paragraph &, const Paragraph &);
    };
    struct Heading
    {
        int level = 1; // 1 to 6
        QList<InlineNode> content;
        friend bool operator==(const Heading &, const Heading &);
    };
    // One alignment per column; the header row first, then the body rows.
    struct Table
    {
        QList<RawTableColumnAlignment> columnAlignments;
        QList<RawTableRow> rows;
        friend bool operator==(const Table &, const Table &);
    };
    struct ThematicBreak
    {
        friend bool operator==(const ThematicBreak &, const ThematicBreak &) = default;
    };

    using Value = std::variant<Blockquote, BulletedList, NumberedList, TaskList, CodeBlock,
                               HtmlBlock, Paragraph, Heading, Table, ThematicBreak>;

    Value value;

    template <typename Case>
        requires Internal::isAlternativeOf<Case, Value>
    BlockNode(Case &&node) // a node converts implicitly from each of its cases
        : value(std::forward<Case>(node))
    {
    }

    template <typename Case>
    const Case *as() const
    {
        return std::get_if<Case>(&value);
    }

    // The child blocks of a container: a block quote's children; the children of all items
    // of a list, concatenated (the item boundaries are lost); none for the other cases.
    QList<BlockNode> children() const;

    // This block with every inline sequence inside it rewritten by `rule` (see the inline
    // rewrite). Always exactly one block: a paragraph whose content is rewritten away stays,
    // empty. Whatever `rule` throws propagates.
    QList<BlockNode> rewrite(const InlineRewriteRule &rule) const;

    friend bool operator==(const BlockNode &, const BlockNode &) = default;
};

size_t qHash(const BlockNode &node, size_t seed = 0) noexcept;

// Each block rewritten (see BlockNode::rewrite): the block count and order are unchanged.
QList<BlockNode> rewrite(const QList<BlockNode> &blocks, const InlineRewriteRule &rule);

} // namespace tolvaran::markdown
