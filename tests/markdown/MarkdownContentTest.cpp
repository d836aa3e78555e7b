#include "markdown/MarkdownContent.h"
#include "markdown/MarkdownContentBuilder.h"
#include "markdown/NodeBuilders.h"
#include "markdown/QStringPrinting.h"

#include <gtest/gtest.h>

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testsupport;

TEST(MarkdownContent, emptyTextIsEmptyContent)
{
    EXPECT_TRUE(MarkdownContent(QString()).blocks().isEmpty());
    EXPECT_EQ(MarkdownContent(QString()), MarkdownContent(QList<MarkdownContent>{}));
    EXPECT_EQ(MarkdownContent(QString()), MarkdownContent(QList<BlockNode>{}));
    EXPECT_EQ(MarkdownContent().renderMarkdown(), QString());
    EXPECT_EQ(MarkdownContent().renderHTML(), QString());
}

TEST(MarkdownContent, builderParsesEachStringOnItsOwn)
{
    const std::optional<MarkdownContent> absent;
    const MarkdownContent content = MarkdownContentBuilder()
                                        .add(QStringLiteral("- one"))
                                        .add(absent)
                                        .add(QStringLiteral("- two"))
                                        .add(MarkdownContent(QStringLiteral("Para")))
                                        .add(std::optional(MarkdownContent(QStringLiteral("---"))))
                                        .content();
    const auto item = [](QStringView word) {
        return BlockNode::BulletedList{true, {RawListItem{{paragraph({text(word)})}}}};
    };
    EXPECT_EQ(content.blocks(),
              (QList<BlockNode>{item(u"one"), item(u"two"), paragraph({text(u"Para")}),
                                BlockNode::ThematicBreak{}}));
    EXPECT_EQ(MarkdownContentBuilder().add(absent).content(), MarkdownContent());
}

TEST(MarkdownContent, childContentGathersTheChildrenOfEveryBlock)
{
    const MarkdownContent quoted(QStringLiteral("> first\n>\n> second\n\nafter"));
    ASSERT_TRUE(quoted.childContent());
    EXPECT_EQ(*quoted.childContent(), MarkdownContent(QStringLiteral("first\n\nsecond")));
    EXPECT_FALSE(MarkdownContent(QStringLiteral("one\n\ntwo")).childContent());
}

TEST(MarkdownContent, rendersItsBlocks)
{
    const MarkdownContent content(QStringLiteral("Some *text*"));
    EXPECT_EQ(content.renderPlainText(), QStringLiteral("Some text"));
    EXPECT_EQ(content.renderMarkdown(), QStringLiteral("Some *text*"));
    EXPECT_EQ(content.renderHTML(), QStringLiteral("<p>Some <em>text</em></p>\n"));
}
