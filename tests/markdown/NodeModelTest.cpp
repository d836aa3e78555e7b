#include "markdown/nodes/BlockNode.h"
#include "markdown/Indexed.h"
#include "markdown/NodeBuilders.h"
#include "markdown/QStringPrinting.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testsupport;

TEST(BlockNode, childrenOfListsConcatenateTheItems)
{
    const BlockNode numbered = BlockNode::NumberedList{
        true, 1, {RawListItem{{paragraph({text(u"a")})}}, RawListItem{{paragraph({text(u"b")})}}}};
    EXPECT_EQ(numbered.children(),
              (QList<BlockNode>{paragraph({text(u"a")}), paragraph({text(u"b")})}));

    const BlockNode tasks = BlockNode::TaskList{
        false,
        {RawTaskListItem{true, {paragraph({text(u"done")})}},
         RawTaskListItem{false, {BlockNode::ThematicBreak{}, paragraph({text(u"open")})}}}};
    EXPECT_EQ(tasks.children(),
              (QList<BlockNode>{paragraph({text(u"done")}), BlockNode::ThematicBreak{},
                                paragraph({text(u"open")})}));

    const BlockNode quote = BlockNode::Blockquote{{paragraph({text(u"q")})}};
    EXPECT_EQ(quote.children(), QList<BlockNode>{paragraph({text(u"q")})});
}

TEST(BlockNode, leafBlocksHaveNoChildren)
{
    const QList<BlockNode> leaves{
        BlockNode::CodeBlock{QStringLiteral("c"), QStringLiteral("x\n")},
        BlockNode::Heading{2, {text(u"h")}},
        BlockNode::Table{{RawTableColumnAlignment::left}, {RawTableRow{{RawTableCell{}}}}},
        BlockNode::ThematicBreak{},
        paragraph({text(u"p")}),
    };
    for (const BlockNode &leaf : leaves)
        EXPECT_TRUE(leaf.children().isEmpty()) << leaf.value.index();
}

TEST(BlockNode, equalityAndHashAreStructural)
{
    const BlockNode withoutInfo = BlockNode::CodeBlock{std::nullopt, QStringLiteral("x")};
    const BlockNode emptyInfo = BlockNode::CodeBlock{QString(), QStringLiteral("x")};
    EXPECT_NE(withoutInfo, emptyInfo);

    const RawTableRow row{{RawTableCell{{text(u"a")}}, RawTableCell{{text(u"b")}}}};
    const BlockNode left
        = BlockNode::Table{{RawTableColumnAlignment::left, RawTableColumnAlignment::none}, {row}};
    const BlockNode right
        = BlockNode::Table{{RawTableColumnAlignment::right, RawTableColumnAlignment::none}, {row}};
    EXPECT_NE(left, right);

    // Equal trees built separately are equal and hash alike; the case matters even when the
    // payloads are equal.
    const auto build = [] {
        return BlockNode::BulletedList{
            true,
            {RawListItem{{paragraph({InlineNode::Emphasis{{text(u"e")}},
                                     link(u"u", {image(u"i", {text(u"alt")})})})}}}};
    };
    const BlockNode a = build();
    const BlockNode b = build();
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a, 7), qHash(b, 7));
    const InlineNode strong = InlineNode::Strong{{text(u"e")}};
    const InlineNode emphasis = InlineNode::Emphasis{{text(u"e")}};
    EXPECT_NE(strong, emphasis);
    EXPECT_EQ((QSet<InlineNode>{strong, emphasis, InlineNode::Strong{{text(u"e")}}}).size(), 2);
}

TEST(RawTableColumnAlignment, convertsOnlyItsRawCharacters)
{
    for (const RawTableColumnAlignment alignment :
         {RawTableColumnAlignment::none, RawTableColumnAlignment::left,
          RawTableColumnAlignment::center, RawTableColumnAlignment::right})
        EXPECT_EQ(rawTableColumnAlignmentFromRawValue(rawValue(alignment)), alignment);
    EXPECT_EQ(rawTableColumnAlignmentFromRawValue(QChar(u'\0')), RawTableColumnAlignment::none);
    EXPECT_EQ(rawValue(RawTableColumnAlignment::center), QChar(u'c'));
    EXPECT_FALSE(rawTableColumnAlignmentFromRawValue(QChar(u'x')));
    EXPECT_FALSE(rawTableColumnAlignmentFromRawValue(QChar(u'L')));
}

TEST(Indexed, positionIsPartOfTheIdentity)
{
    const BlockNode block = paragraph({text(u"b")});
    const Indexed<BlockNode> first{0, block};
    const Indexed<BlockNode> second{1, block};
    EXPECT_NE(first, second);
    EXPECT_EQ(first, (Indexed<BlockNode>{0, paragraph({text(u"b")})}));
    EXPECT_EQ((QSet<Indexed<BlockNode>>{first, second, first}).size(), 2);
}
