#include "markdown/MarkdownParser.h"
#include "markdown/QStringPrinting.h"
#include "support/markdown/MarkdownCorpus.h"

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

namespace {

QString repeated(const QString &piece, qsizetype count)
{
    return piece.repeated(count);
}

qsizetype pipesIn(const QString &text)
{
    return text.count(QLatin1Char('|'));
}

// The pipes of every text and code node of the blocks, table cells included.
qsizetype pipesIn(const QList<BlockNode> &blocks)
{
    const auto inlinePipes = [](const QList<InlineNode> &nodes) {
        qsizetype count = 0;
        for (const QString &text : collect(nodes, [](const InlineNode &node) {
                 if (const auto *text = node.as<InlineNode::Text>())
                     return QStringList{text->text};
                 if (const auto *code = node.as<InlineNode::Code>())
                     return QStringList{code->text};
                 return QStringList{};
             }))
            count += pipesIn(text);
        return count;
    };
    qsizetype count = 0;
    for (const BlockNode &block : blocks) {
        count += pipesIn(block.children());
        if (const auto *paragraph = block.as<BlockNode::Paragraph>())
            count += inlinePipes(paragraph->content);
        if (const auto *table = block.as<BlockNode::Table>()) {
            for (const RawTableRow &row : table->rows) {
                for (const RawTableCell &cell : row.cells)
                    count += inlinePipes(cell.content);
            }
        }
    }
    return count;
}

} // namespace

// Wide rows never reach the table syntax, whose time grows with the square of a row's cells:
// a line with more cells than the limit is text, and every pipe of it is kept.
TEST(HostileInput, wideTableRowsAreTextAndKeepEveryPipe)
{
    const qsizetype wide = 100 * 1024;
    const struct
    {
        const char *name;
        QString text;
    } inputs[] = {
        {"body row", "a|b\n-|-\n" + repeated("|", wide) + "\n"},
        {"header and delimiter", repeated("a|", wide / 2) + "\n" + repeated("-|", wide / 2)},
        {"header only", repeated("a|", wide / 2) + "\n-|-\n"},
        {"megabyte of rows", "a|b\n-|-\n" + repeated(repeated("x|", 1000) + "\n", 500)},
    };
    for (const auto &input : inputs) {
        SCOPED_TRACE(input.name);
        const QList<BlockNode> blocks = parseMarkdown(input.text);
        ASSERT_FALSE(blocks.isEmpty());
        // The rows hold no pipes of their own: every pipe outside the first table's two
        // rows (two of them) is text.
        const qsizetype tableSyntax = input.text.startsWith("a|b\n") ? 2 : 0;
        EXPECT_EQ(pipesIn(blocks), pipesIn(input.text) - tableSyntax);
    }
}

TEST(HostileInput, rowsUpToTheCellLimitStayTables)
{
    const auto row = [](int cells) -> QString { return repeated("| c ", cells) + "|\n"; };
    const auto table = [&](int cells) -> QString {
        return row(cells) + repeated("|---", cells) + "|\n" + row(cells);
    };
    const QList<BlockNode> atLimit = parseMarkdown(table(maximumTableRowCells - 1));
    ASSERT_EQ(atLimit.size(), 1);
    const auto *parsed = atLimit[0].as<BlockNode::Table>();
    ASSERT_NE(parsed, nullptr);
    EXPECT_EQ(parsed->columnAlignments.size(), maximumTableRowCells - 1);

    const QList<BlockNode> overLimit = parseMarkdown(table(maximumTableRowCells + 1));
    ASSERT_EQ(overLimit.size(), 1);
    EXPECT_NE(overLimit[0].as<BlockNode::Paragraph>(), nullptr);
}

// The stand-in for the pipes of a wide line never shows: code, links and escaped pipes read
// back exactly as written.
TEST(HostileInput, wideLinesReadBackExactly)
{
    const QString pipes = repeated("|", maximumTableRowCells + 1);
    const QList<BlockNode> code = parseMarkdown("```\n" + pipes + "\n```\n");
    ASSERT_EQ(code.size(), 1);
    ASSERT_NE(code[0].as<BlockNode::CodeBlock>(), nullptr);
    EXPECT_EQ(code[0].as<BlockNode::CodeBlock>()->content, pipes + "\n");

    const QList<BlockNode> inlines =
        parseMarkdown("`a|b` [x](http://h/a|b) \\| " + pipes + "\n");
    ASSERT_EQ(inlines.size(), 1);
    const auto *paragraph = inlines[0].as<BlockNode::Paragraph>();
    ASSERT_NE(paragraph, nullptr);
    ASSERT_GE(paragraph->content.size(), 3);
    EXPECT_EQ(paragraph->content[0], InlineNode(InlineNode::Code{"a|b"}));
    const auto *link = paragraph->content[2].as<InlineNode::Link>();
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->destination, "http://h/a|b");
    EXPECT_EQ(renderPlainText(paragraph->content), "a|b x | " + pipes);
}
