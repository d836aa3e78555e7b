#include "markdown/nodes/BlockNode.h"
#include "markdown/nodes/HTMLTag.h"
#include "markdown/KebabCase.h"
#include "markdown/MarkdownParser.h"
#include "markdown/NodeBuilders.h"
#include "markdown/QStringPrinting.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testsupport;

namespace {

QList<InlineNode> dropImages(const InlineNode &node)
{
    if (node.as<InlineNode::Image>())
        return {};
    return {node};
}

QList<InlineNode> doubleText(const InlineNode &node)
{
    if (node.as<InlineNode::Text>())
        return {node, node};
    return {node};
}

} // namespace

TEST(Rewrite, dropsNestedImagesButNeverBlocks)
{
    const QList<BlockNode> blocks{
        paragraph({InlineNode::Emphasis{{image(u"a.png", {text(u"a")})}}}),
        paragraph({image(u"b.png", {})}),
    };
    EXPECT_EQ(rewrite(blocks, dropImages),
              (QList<BlockNode>{paragraph({InlineNode::Emphasis{}}), paragraph({})}));
}

TEST(Rewrite, replacesNodesInPlaceAtAnyDepthKeepingThePayload)
{
    const BlockNode list = BlockNode::NumberedList{
        false, 4, {RawListItem{{BlockNode::Blockquote{{BlockNode::Heading{3, {text(u"h")}}}}}}}};
    const BlockNode table = BlockNode::Table{
        {RawTableColumnAlignment::center},
        {RawTableRow{{RawTableCell{{link(u"u", {InlineNode::Strong{{text(u"s")}}})}}}}}};
    const BlockNode code = BlockNode::CodeBlock{QStringLiteral("c"), QStringLiteral("text")};

    EXPECT_EQ(
        rewrite({list, table, code}, doubleText),
        (QList<BlockNode>{
            BlockNode::NumberedList{false,
                                    4,
                                    {RawListItem{{BlockNode::Blockquote{
                                        {BlockNode::Heading{3, {text(u"h"), text(u"h")}}}}}}}},
            BlockNode::Table{{RawTableColumnAlignment::center},
                             {RawTableRow{{RawTableCell{
                                 {link(u"u", {InlineNode::Strong{{text(u"s"), text(u"s")}}})}}}}}},
            code,
        }));
}

TEST(Rewrite, errorsOfTheRulePropagate)
{
    const QList<BlockNode> blocks{paragraph({text(u"a")})};
    EXPECT_THROW(
        rewrite(blocks,
                [](const InlineNode &) -> QList<InlineNode> { throw std::runtime_error("stop"); }),
        std::runtime_error);
}

TEST(Collect, visitsChildrenBeforeTheirParent)
{
    const QList<InlineNode> nodes{
        link(u"l", {text(u"a"), InlineNode::Emphasis{{text(u"b")}}}),
        InlineNode::Code{QStringLiteral("c")},
    };
    const QStringList order = collect(nodes, [](const InlineNode &node) -> QStringList {
        if (const auto *t = node.as<InlineNode::Text>())
            return {t->text};
        if (node.as<InlineNode::Emphasis>())
            return {QStringLiteral("em")};
        if (node.as<InlineNode::Link>())
            return {QStringLiteral("link")};
        return {QStringLiteral("other")};
    });
    EXPECT_EQ(order, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("em"),
                                  QStringLiteral("link"), QStringLiteral("other")}));
}

TEST(InlinePlainText, joinsTextWithBreaksAsSpaceAndLineFeed)
{
    EXPECT_EQ(
        renderPlainText({InlineNode::Emphasis{{text(u"a"), InlineNode::SoftBreak{}, text(u"b")}}}),
        QStringLiteral("a b"));
    EXPECT_EQ(renderPlainText({InlineNode::Code{QStringLiteral("x")}, InlineNode::LineBreak{}}),
              QStringLiteral("x\n"));
    EXPECT_EQ(renderPlainText({InlineNode::Html{QStringLiteral("<b>")}, text(u"bold"),
                               InlineNode::Strikethrough{{link(u"u", {text(u"!")})}},
                               image(u"i", {text(u"alt")})}),
              QStringLiteral("<b>bold!alt"));
}

TEST(ImageData, ofImagesAndOfLinksHoldingOnlyAnImage)
{
    const InlineNode logo = image(u"logo.png", {InlineNode::Emphasis{{text(u"lo")}}, text(u"go")});
    EXPECT_EQ(logo.imageData(),
              (RawImageData{QStringLiteral("logo.png"), QStringLiteral("logo"), std::nullopt}));
    EXPECT_EQ(link(u"https://x", {logo}).imageData(),
              (RawImageData{QStringLiteral("logo.png"), QStringLiteral("logo"),
                            QStringLiteral("https://x")}));
    EXPECT_FALSE(link(u"https://x", {logo, text(u"t")}).imageData());
    EXPECT_FALSE(link(u"https://x", {text(u"t")}).imageData());
    EXPECT_FALSE((InlineNode{InlineNode::Emphasis{{logo}}}).imageData());
}

TEST(HTMLTag, findsTheFirstTagName)
{
    const struct
    {
        QString fragment;
        std::optional<QString> name;
    } cases[] = {
        {QStringLiteral("<BR/>"), QStringLiteral("br")},
        {QStringLiteral("</Span>"), QStringLiteral("span")},
        {QStringLiteral("<a href=\"x\" title='y'>"), QStringLiteral("a")},
        {QStringLiteral("text before <H1 id=x> and <p>"), QStringLiteral("h1")},
        {QStringLiteral("no tags here"), std::nullopt},
        {QStringLiteral("< spaced>"), std::nullopt},
        {QStringLiteral("<!-- comment -->"), std::nullopt},
        {QString(), std::nullopt},
    };
    for (const auto &c : cases) {
        const std::optional<HTMLTag> tag = HTMLTag::fromFragment(c.fragment);
        EXPECT_EQ(tag ? std::optional(tag->name) : std::nullopt, c.name)
            << c.fragment.toStdString();
    }
}

TEST(KebabCase, splitsAtEverySeparatorAndKeepsEmptyPieces)
{
    const struct
    {
        QString text;
        QString expected;
    } cases[] = {
        {QStringLiteral("Hello, World!"), QStringLiteral("hello--world-")},
        {QStringLiteral("Getting Started"), QStringLiteral("getting-started")},
        {QStringLiteral("Ünïcode 2"), QStringLiteral("ünïcode-2")},
        {QStringLiteral("Cafe\u0301 au lait"), QStringLiteral("cafe\u0301-au-lait")},
        {QStringLiteral("rocket 🚀 x"), QStringLiteral("rocket---x")},
        {QStringLiteral("𝐀𝐁 ½"), QStringLiteral("𝐀𝐁-½")},
        {QStringLiteral(" edge "), QStringLiteral("-edge-")},
        {QString(), QString()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(kebabCased(c.text), c.expected) << c.text.toStdString();
}

TEST(KebabCase, headingIdentifiersComeFromThePlainTextOfTheHeading)
{
    const QList<BlockNode> blocks = parseMarkdown(QStringLiteral(
        "## Getting *Started* with `make`\n\n# Hello,   World!\n\n# Hello,   World!"));
    QStringList identifiers;
    for (const BlockNode &block : blocks)
        identifiers.append(kebabCased(renderPlainText(block.as<BlockNode::Heading>()->content)));
    EXPECT_EQ(identifiers,
              (QStringList{QStringLiteral("getting-started-with-make"),
                           QStringLiteral("hello----world-"), QStringLiteral("hello----world-")}));
}
