#include "markdown/MarkdownParser.h"
#include "markdown/QStringPrinting.h"
#include "support/MarkdownCorpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

using namespace tolvaran::markdown;
namespace corpus = tolvaran::fixtures::markdown;

namespace {

constexpr qsizetype oneMegabyte = 1024 * 1024;

int depth(const QList<InlineNode> &nodes)
{
    int deepest = 0;
    for (const InlineNode &node : nodes)
        deepest = std::max(deepest, 1 + depth(node.children()));
    return deepest;
}

int depth(const QList<BlockNode> &blocks)
{
    int deepest = 0;
    for (const BlockNode &block : blocks) {
        int below = depth(block.children());
        if (block.as<BlockNode::Blockquote>() == nullptr && !block.children().isEmpty())
            ++below; // the list item between a list and its blocks
        if (const auto *paragraph = block.as<BlockNode::Paragraph>())
            below = depth(paragraph->content);
        if (const auto *heading = block.as<BlockNode::Heading>())
            below = depth(heading->content);
        if (const auto *table = block.as<BlockNode::Table>()) {
            for (const RawTableRow &row : table->rows) {
                for (const RawTableCell &cell : row.cells)
                    below = std::max(below, 2 + depth(cell.content));
            }
        }
        deepest = std::max(deepest, 1 + below);
    }
    return deepest;
}

struct HostileInput
{
    const char *name;
    std::function<QString(qsizetype)> make;
};

} // namespace

// The library nests as deep as the input asks; the model stops at the nesting limit and
// keeps the deeper text as plain text. Nothing overflows the stack, in parsing, comparing or
// any of the three renderings.
TEST(HostileInput, megabyteOfNestingParsesAndRendersWithinTheLimit)
{
    const HostileInput inputs[] = {
        {"quotes", corpus::nestedQuotes},     {"lists", corpus::nestedLists},
        {"brackets", corpus::nestedBrackets}, {"emphasis", corpus::nestedEmphasis},
        {"images", corpus::nestedImages},
    };
    for (const HostileInput &input : inputs) {
        SCOPED_TRACE(input.name);
        const QString text = input.make(oneMegabyte);
        ASSERT_GE(text.size(), oneMegabyte);
        const QList<BlockNode> blocks = parseMarkdown(text);
        ASSERT_FALSE(blocks.isEmpty());
        EXPECT_LE(depth(blocks), maximumNestingDepth + 4);
        EXPECT_EQ(blocks, parseMarkdown(text));

        const QString plain = renderPlainText(blocks);
        EXPECT_TRUE(plain.contains(QStringLiteral("deepest text")));
        EXPECT_FALSE(renderHTML(blocks).isEmpty());
        EXPECT_FALSE(renderMarkdown(blocks).isEmpty());
    }
}

TEST(HostileInput, structureAboveTheLimitIsKept)
{
    // Forty quotes fit; the paragraph inside keeps its emphasis.
    const QList<BlockNode> shallow
        = parseMarkdown(QStringLiteral(">").repeated(40) + QStringLiteral(" *kept*"));
    EXPECT_EQ(depth(shallow), 43); // quotes, paragraph, emphasis, text
    EXPECT_EQ(renderHTML(shallow).count(QStringLiteral("<blockquote>")), 40);
    EXPECT_TRUE(renderHTML(shallow).contains(QStringLiteral("<em>kept</em>")));

    // A hundred do not: the quotes stop at the limit and what is below is one paragraph of
    // text, lines kept apart.
    const QList<BlockNode> deep
        = parseMarkdown(QStringLiteral(">").repeated(100) + QStringLiteral(" *flat*\n")
                        + QStringLiteral(">").repeated(100) + QStringLiteral("\n")
                        + QStringLiteral(">").repeated(100) + QStringLiteral(" `code`"));
    const QString html = renderHTML(deep);
    EXPECT_EQ(html.count(QStringLiteral("<blockquote>")), maximumNestingDepth);
    EXPECT_TRUE(html.contains(QStringLiteral("<p>flat\ncode</p>"))) << html.toStdString();
}

// The library changes process-wide tables while it parses; without the adapter's lock,
// parallel parses lose strikethrough and tables at random.
TEST(HostileInput, parsesAndRendersFromManyThreadsAtOnce)
{
    const QString document = corpus::generatedDocument(64 * 1024);
    const QList<BlockNode> expectedBlocks = parseMarkdown(document);
    const QString expectedHTML = renderHTML(expectedBlocks);
    const QString expectedMarkdown = renderMarkdown(expectedBlocks);

    constexpr int threadCount = 8;
    constexpr int rounds = 5;
    std::vector<int> failures(threadCount, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < rounds; ++round) {
                const QList<BlockNode> blocks = parseMarkdown(document);
                if (blocks != expectedBlocks || renderHTML(blocks) != expectedHTML
                    || renderMarkdown(blocks) != expectedMarkdown)
                    ++failures[t];
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(failures, std::vector<int>(threadCount, 0));
}
