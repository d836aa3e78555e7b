#include "markdown/MarkdownParser.h"
#include "markdown_view/theme/ColorSchemeImageFilter.h"

#include <gtest/gtest.h>

using namespace tolvaran::markdown;

TEST(ColorSchemeImageFilter, imagesShowInTheSchemeTheirFragmentNames)
{
    const struct
    {
        const char *source;
        bool light;
        bool dark;
    } rows[] = {
        {"https://example.com/a.png#gh-dark-mode-only", false, true},
        {"https://example.com/a.png#GH-Light-Mode-Only", true, false},
        {"https://example.com/a.png#other", true, true},
        {"relative/a.png", true, true},
        {"has space.png", false, false},
        {"", false, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.source);
        EXPECT_EQ(imageSourceMatches(QString::fromUtf8(row.source), ColorScheme::light),
                  row.light);
        EXPECT_EQ(imageSourceMatches(QString::fromUtf8(row.source), ColorScheme::dark),
                  row.dark);
    }
}

TEST(ColorSchemeImageFilter, removesImagesAtAnyDepthAndKeepsBlocks)
{
    const QList<BlockNode> blocks =
        parseMarkdown("![only](a.png#gh-dark-mode-only)\n\n"
                      "[![linked](b.png#gh-dark-mode-only)](https://example.com) *![e](c.png)*\n");
    const QList<BlockNode> light = filterImagesMatching(blocks, ColorScheme::light);
    ASSERT_EQ(light.size(), 2);
    EXPECT_EQ(light[0], BlockNode(BlockNode::Paragraph{}));
    const auto *second = light[1].as<BlockNode::Paragraph>();
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(second->content.size(), 3);
    EXPECT_EQ(second->content[0],
              InlineNode(InlineNode::Link{"https://example.com", {}})); // the link stays
    EXPECT_EQ(filterImagesMatching(blocks, ColorScheme::dark), blocks);
}
