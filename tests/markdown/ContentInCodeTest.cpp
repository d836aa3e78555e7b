#include "markdown/nodes/Blockquote.h"
#include "markdown/nodes/BulletedList.h"
#include "markdown/nodes/CodeBlock.h"
#include "markdown/nodes/Heading.h"
#include "markdown/nodes/InlineImage.h"
#include "markdown/MarkdownContentBuilder.h"
#include "markdown/MarkdownParser.h"
#include "markdown/nodes/NumberedList.h"
#include "markdown/nodes/Paragraph.h"
#include "markdown/nodes/TaskList.h"
#include "markdown/nodes/TextTable.h"
#include "markdown/nodes/ThematicBreak.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace tolvaran::markdown;

namespace {

QList<InlineNode> text(const QString &value)
{
    return {InlineNode::Text{value}};
}

InlineContent textContent(const QString &value)
{
    return InlineContent(text(value));
}

MarkdownContent paragraphs(int count)
{
    MarkdownContentBuilder builder;
    for (int index = 0; index < count; ++index)
        builder.add(Paragraph(textContent(QStringLiteral("p%1").arg(index))));
    return builder.content();
}

struct Fruit
{
    QString name;
    int count = 0;
};

} // namespace

TEST(ContentInCode, listsAreStoredLooseWhenAnItemHoldsTwoParagraphs)
{
    const ListItem one(paragraphs(1));
    const ListItem two(paragraphs(2));
    MarkdownContentBuilder nested;
    nested.add(Paragraph(textContent(QStringLiteral("top"))));
    nested.add(BulletedList(true, {ListItem(paragraphs(2))}));
    const struct
    {
        const char *name;
        bool requested;
        QList<ListItem> items;
        bool stored;
    } cases[] = {
        {"second item has two paragraphs", true, {one, two}, false},
        {"a paragraph and a nested list", true, {ListItem(nested.content()), one}, true},
        {"loose stays loose", false, {one, one}, false},
        {"no items keeps the request", true, {}, true},
    };
    for (const auto &row : cases) {
        EXPECT_EQ(BulletedList(row.requested, row.items).tight, row.stored) << row.name;
        EXPECT_EQ(NumberedList(row.requested, 3, row.items).tight, row.stored) << row.name;
    }
    EXPECT_FALSE(TaskList(true, {TaskListItem(true, paragraphs(2))}).tight);
    const NumberedList numbered(true, 7, {one});
    EXPECT_EQ(numbered.markdownContent().blocks(),
              (QList<BlockNode>{BlockNode::NumberedList{true, 7, {RawListItem{one.children}}}}));
}

TEST(ContentInCode, blocksBuiltInCodeEqualParsedOnes)
{
    MarkdownContentBuilder builder;
    builder.add(Heading(Heading::Level::level3, textContent(QStringLiteral("Title"))))
        .add(Paragraph(textContent(QStringLiteral("Body"))))
        .add(Blockquote(MarkdownContent(QStringLiteral("quoted"))))
        .add(CodeBlock(QStringLiteral("sh"), QStringLiteral("ls\n")))
        .add(ThematicBreak())
        .add(BulletedList::of(QStringList{QStringLiteral("one"), QStringLiteral("two")}, true))
        .add(TaskList(true, {TaskListItem(true, MarkdownContent(QStringLiteral("done"))),
                             TaskListItem(QStringLiteral("open"))}));
    EXPECT_EQ(builder.content().blocks(),
              parseMarkdown(QStringLiteral("### Title\n\nBody\n\n> quoted\n\n```sh\nls\n```\n\n"
                                           "---\n\n- one\n- two\n\n* [x] done\n* [ ] open\n")));
    EXPECT_FALSE(Heading::levelFromRawValue(0).has_value());
    EXPECT_FALSE(Heading::levelFromRawValue(7).has_value());
    EXPECT_NE(CodeBlock(std::nullopt, QStringLiteral("x")).markdownContent(),
              CodeBlock(QString(), QStringLiteral("x")).markdownContent());
    // Markdown in a string item stays literal text.
    const BulletedList literal = BulletedList::of(QStringList{QStringLiteral("*not emphasis*")},
                                                  true);
    EXPECT_EQ(literal.items[0].children,
              (QList<BlockNode>{BlockNode::Paragraph{text(QStringLiteral("*not emphasis*"))}}));
}

TEST(ContentInCode, textTablesHaveAHeaderAndOneCellPerColumn)
{
    const QList<Fruit> fruit{{QStringLiteral("apple"), 3}, {QStringLiteral("pear"), 12},
                             {QStringLiteral("fig"), 0}};
    const QList<TextTableColumn<Fruit>> columns{
        TextTableColumn<Fruit>::value(TextTableColumnAlignment::trailing, QStringLiteral("Count"),
                                      &Fruit::count),
        TextTableColumn<Fruit>(std::nullopt, QStringLiteral("Name"),
                               [](const Fruit &row) { return textContent(row.name); }),
    };
    const TextTable table(fruit, columns);
    EXPECT_EQ(table.markdownContent().blocks(),
              parseMarkdown(QStringLiteral("| Count | Name |\n|--:|---|\n| 3 | apple |\n"
                                           "| 12 | pear |\n| 0 | fig |\n")));
    EXPECT_EQ(TextTable(QList<Fruit>{}, columns).rows.size(), 1);
    const TextTable fromRows(columns, QList<TextTableRow<Fruit>>{TextTableRow(fruit[1])});
    EXPECT_EQ(fromRows.rows.size(), 2);
    const TextTable noColumns(fruit, QList<TextTableColumn<Fruit>>{});
    EXPECT_TRUE(noColumns.columnAlignments.isEmpty());
    EXPECT_EQ(noColumns.rows.size(), 4);
    EXPECT_TRUE(noColumns.rows[1].cells.isEmpty());
}

TEST(ContentInCode, inlineImages)
{
    const QUrl url(QStringLiteral("https://example.com/a b.png"));
    EXPECT_EQ(InlineImage(url).inlineContent().inlines(),
              (QList<InlineNode>{InlineNode::Image{"https://example.com/a%20b.png", {}}}));
    EXPECT_EQ(InlineImage(QStringLiteral("alt"), url).inlineContent().inlines(),
              (QList<InlineNode>{InlineNode::Image{"https://example.com/a%20b.png",
                                                   {InlineNode::Text{"alt"}}}}));
}
