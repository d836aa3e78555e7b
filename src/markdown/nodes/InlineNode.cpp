#include "markdown/nodes/InlineNode.h"

namespace tolvaran::markdown {

namespace {

template <typename Case>
constexpr bool hasChildren = requires(Case node) { node.children; };

// The node with its children replaced, keeping its case and its other payload.
InlineNode withChildren(const InlineNode &node, QList<InlineNode> children)
{
    return std::visit(
        [&](const auto &payload) -> InlineNode {
            using Case = std::decay_t<decltype(payload)>;
            if constexpr (hasChildren<Case>) {
                Case rebuilt = payload;
                rebuilt.children = std::move(children);
                return rebuilt;
            } else {
                return payload;
            }
        },
        node.value);
}

} // namespace

// Defaulted here rather than in the class: the cases that hold child nodes compare lists of
// InlineNode, a type that is still incomplete inside its own definition, and clang deletes a
// comparison defaulted there.
bool operator==(const InlineNode::Emphasis &, const InlineNode::Emphasis &) = default;
bool operator==(const InlineNode::Strong &, const InlineNode::Strong &) = default;
bool operator==(const InlineNode::Strikethrough &, const InlineNode::Strikethrough &) = default;
bool operator==(const InlineNode::Link &, const InlineNode::Link &) = default;
bool operator==(const InlineNode::Image &, const InlineNode::Image &) = default;

QList<InlineNode> InlineNode::children() const
{
    return std::visit(
        [](const auto &payload) -> QList<InlineNode> {
            if constexpr (hasChildren<std::decay_t<decltype(payload)>>)
                return payload.children;
            else
                return {};
        },
        value);
}

std::optional<RawImageData> InlineNode::imageData() const
{
    if (const auto *image = as<Image>())
        return RawImageData{image->source, renderPlainText(image->children), std::nullopt};
    if (const auto *link = as<Link>(); link && link->children.size() == 1) {
        std::optional<RawImageData> data = link->children.first().imageData();
        if (data)
            data->destination = link->destination;
        return data;
    }
    return std::nullopt;
}

size_t qHash(const InlineNode &node, size_t seed) noexcept
{
    seed = ::qHash(node.value.index(), seed);
    return std::visit(
        [seed](const auto &payload) -> size_t {
            using Case = std::decay_t<decltype(payload)>;
            if constexpr (std::is_same_v<Case, InlineNode::Link>)
                return qHashMulti(seed, payload.destination, payload.children);
            else if constexpr (std::is_same_v<Case, InlineNode::Image>)
                return qHashMulti(seed, payload.source, payload.children);
            else if constexpr (hasChildren<Case>)
                return qHashRange(payload.children.begin(), payload.children.end(), seed);
            else if constexpr (requires { payload.text; })
                return ::qHash(payload.text, seed);
            else
                return seed;
        },
        node.value);
}

QList<InlineNode> rewrite(const QList<InlineNode> &nodes, const InlineRewriteRule &rule)
{
    QList<InlineNode> result;
    result.reserve(nodes.size());
    for (const InlineNode &node : nodes) {
        const QList<InlineNode> children = node.children();
        const InlineNode rebuilt =
            children.isEmpty() ? node : withChildren(node, rewrite(children, rule));
        result.append(rule(rebuilt));
    }
    return result;
}

QString renderPlainText(const QList<InlineNode> &nodes)
{
    const QStringList pieces = collect(nodes, [](const InlineNode &node) -> QStringList {
        if (const auto *text = node.as<InlineNode::Text>())
            return {text->text};
        if (const auto *code = node.as<InlineNode::Code>())
            return {code->text};
        if (const auto *html = node.as<InlineNode::Html>())
            return {html->text};
        if (node.as<InlineNode::SoftBreak>())
            return {QStringLiteral(" ")};
        if (node.as<InlineNode::LineBreak>())
            return {QStringLiteral("\n")};
        return {};
    });
    return pieces.join(QString());
}

} // namespace tolvaran::markdown
