#pragma once

#include "markdown/raw/RawImageData.h"
#include "markdown/VariantAlternative.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <type_traits>
#include <variant>

namespace tolvaran::markdown {

// One inline element of a parsed document. A value: copies share their storage and a tree
// never changes once built; every transformation builds a new tree.
//
// The cases are alternatives of `value`, in this order (the order is part of the hash):
// text, soft break, line break, code span, inline HTML, emphasis, strong, strikethrough,
// link, image.
struct InlineNode
{
    struct Text
    {
        QString text;
        friend bool operator==(const Text &, const Text &) = default;
    };
    struct SoftBreak
    {
        friend bool operator==(const SoftBreak &, const SoftBreak &) = default;
    };
    struct LineBreak
    {
        friend bool operator==(const LineBreak &, const LineBreak &) = default;
    };
    struct Code
    {
        QString text;
        friend bool operator==(const Code &, const Code &) = default;
    };
    // The raw text of an inline HTML fragment, usually one tag.
    struct Html
    {
        QString text;
        friend bool operator==(const Html &, const Html &) = default;
    };
    struct Emphasis
    {
        QList<InlineNode> children;
        friend bool operator==(const Emphasis &, const Emphasis &);
    };
    struct Strong
    {
        QList<InlineNode> children;
        friend bool operator==(const Strong &, const Strong &);
    };
    struct Strikethrough
    {
        QList<InlineNode> children;
        friend bool operator==(const Strikethrough &, const Strikethrough &);
    };
    // The destination exactly as written (never resolved); the children are the link text.
    // A link title is not kept.
    struct Link
    {
        QString destination;
        QList<InlineNode> children;
        friend bool operator==(const Link &, const Link &);
    };
    // The source exactly as written; the children are the description, whose plain text is
    // the alternative text.
    struct Image
    {
        QString source;
        QList<InlineNode> children;
        friend bool operator==(const Image &, const Image &);
    };

    using Value = std::variant<Text, SoftBreak, LineBreak, Code, Html, Emphasis, Strong,
                               Strikethrough, Link, Image>;

    Value value;

    template <typename Case>
        requires Internal::isAlternativeOf<Case, Value>
    InlineNode(Case &&node) // a node converts implicitly from each of its cases
        : value(std::forward<Case>(node))
    {
    }

    template <typename Case>
    const Case *as() const
    {
        return std::get_if<Case>(&value);
    }

    // The children of emphasis, strong, strikethrough, link and image; none for the others.
    QList<InlineNode> children() const;

    // An image: its source and the plain text of its description. A link whose only child
    // is an image with image data: that image's data with the link's destination. Otherwise
    // absent.
    std::optional<RawImageData> imageData() const;

    // The collected results of the children, in order and recursively, then the results of
    // `rule` for this node. Whatever `rule` throws propagates.
    template <typename Rule>
    std::invoke_result_t<Rule &, const InlineNode &> collect(Rule &&rule) const;

    friend bool operator==(const InlineNode &, const InlineNode &) = default;
};

size_t qHash(const InlineNode &node, size_t seed = 0) noexcept;

// Replaces one node (already rebuilt from its rewritten children) by zero, one or several.
using InlineRewriteRule = std::function<QList<InlineNode>(const InlineNode &)>;

// Rewrites bottom-up: each node's children first, then the node rebuilt with them is handed
// to `rule`, and whatever it returns takes the node's place. Whatever `rule` throws
// propagates.
QList<InlineNode> rewrite(const QList<InlineNode> &nodes, const InlineRewriteRule &rule);

// The results of `rule` collected from every node of `nodes`, in order (see
// InlineNode::collect).
template <typename Rule>
std::invoke_result_t<Rule &, const InlineNode &> collect(const QList<InlineNode> &nodes,
                                                         Rule &&rule)
{
    std::invoke_result_t<Rule &, const InlineNode &> results;
    for (const InlineNode &node : nodes)
        results.append(node.collect(rule));
    return results;
}

template <typename Rule>
std::invoke_result_t<Rule &, const InlineNode &> InlineNode::collect(Rule &&rule) const
{
    auto results = markdown::collect(children(), rule);
    results.append(rule(*this));
    return results;
}

// The text of inline content: text, code and raw HTML as they are, a soft break as one space,
// a line break as one line feed; containers contribute only their children's text.
QString renderPlainText(const QList<InlineNode> &nodes);

} // namespace tolvaran::markdown
