#include "markdown/CmarkReference.h"
#include "markdown/MarkdownParser.h"
#include "markdown/NodeBuilders.h"
#include "markdown/QStringPrinting.h"

#include <gtest/gtest.h>

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testsupport;

TEST(MarkdownParser, emptyTextHasNoBlocks)
{
    EXPECT_TRUE(parseMarkdown(QString()).isEmpty());
    EXPECT_TRUE(parseMarkdown(QStringLiteral(" \n\n\t\n")).isEmpty());
    EXPECT_EQ(renderMarkdown(QList<BlockNode>{}), QString());
    EXPECT_EQ(renderPlainText(QList<BlockNode>{}), QString());
    EXPECT_EQ(renderHTML(QList<BlockNode>{}), QString());
}

TEST(MarkdownParser, taskMarkersMakeTheWholeListATaskList)
{
    EXPECT_EQ(parseMarkdown(QStringLiteral("- [ ] open\n- plain\n- [x] done\n")),
              (QList<BlockNode>{
                  BlockNode::TaskList{true,
                                      {RawTaskListItem{false, {paragraph({text(u"open")})}},
                                       RawTaskListItem{false, {paragraph({text(u"plain")})}},
                                       RawTaskListItem{true, {paragraph({text(u"done")})}}}}}));
}

TEST(MarkdownParser, listsKeepTheirStartAndTightness)
{
    EXPECT_EQ(
        parseMarkdown(QStringLiteral("3. three\n\n4. four\n")),
        (QList<BlockNode>{BlockNode::NumberedList{false,
                                                  3,
                                                  {RawListItem{{paragraph({text(u"three")})}},
                                                   RawListItem{{paragraph({text(u"four")})}}}}}));
    EXPECT_EQ(parseMarkdown(QStringLiteral("* a\n")),
              (QList<BlockNode>{
                  BlockNode::BulletedList{true, {RawListItem{{paragraph({text(u"a")})}}}}}));
}

TEST(MarkdownParser, tablesKeepAlignmentsAndTheHeaderRowFirst)
{
    const QList<BlockNode> blocks
        = parseMarkdown(QStringLiteral("| A | B | C |\n|:--|--:|---|\n| 1 | **2** |\n"));
    ASSERT_EQ(blocks.size(), 1);
    const auto *table = blocks.first().as<BlockNode::Table>();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->columnAlignments,
              (QList<RawTableColumnAlignment>{RawTableColumnAlignment::left,
                                              RawTableColumnAlignment::right,
                                              RawTableColumnAlignment::none}));
    EXPECT_EQ(table->rows,
              (QList<RawTableRow>{
                  RawTableRow{{RawTableCell{{text(u"A")}}, RawTableCell{{text(u"B")}},
                               RawTableCell{{text(u"C")}}}},
                  RawTableRow{{RawTableCell{{text(u"1")}},
                               RawTableCell{{InlineNode::Strong{{text(u"2")}}}}, RawTableCell{}}},
              }));
}

TEST(MarkdownParser, inlineKindsAndWhatTheModelDrops)
{
    EXPECT_EQ(parseMarkdown(QStringLiteral("~~gone~~ [a](https://x \"title\") ![i](p.png 't')")),
              (QList<BlockNode>{paragraph({
                  InlineNode::Strikethrough{{text(u"gone")}},
                  text(u" "),
                  link(u"https://x", {text(u"a")}),
                  text(u" "),
                  image(u"p.png", {text(u"i")}),
              })}));
    // The title is gone from the rendered HTML too: the one place where it differs.
    const QString markdown = QStringLiteral("[a](https://x \"title\")");
    EXPECT_EQ(renderHTML(parseMarkdown(markdown)),
              QStringLiteral("<p><a href=\"https://x\">a</a></p>\n"));
    EXPECT_EQ(referenceHTML(markdown),
              QStringLiteral("<p><a href=\"https://x\" title=\"title\">a</a></p>\n"));
}

TEST(MarkdownParser, onlyAFenceWithAnInfoStringHasFenceInfo)
{
    const auto code = [](std::optional<QString> info, QStringView content) {
        return QList<BlockNode>{BlockNode::CodeBlock{std::move(info), content.toString()}};
    };
    EXPECT_EQ(parseMarkdown(QStringLiteral("```swift extra\nlet x\n```\n")),
              code(QStringLiteral("swift extra"), u"let x\n"));
    EXPECT_EQ(parseMarkdown(QStringLiteral("```\nplain\n```\n")), code(std::nullopt, u"plain\n"));
    EXPECT_EQ(parseMarkdown(QStringLiteral("    indented\n")), code(std::nullopt, u"indented\n"));
}

TEST(MarkdownParser, htmlKeepsItsLineBreakAndTextDoesNot)
{
    const QList<BlockNode> blocks = parseMarkdown(QStringLiteral("Hello *world*"));
    EXPECT_EQ(renderHTML(blocks), QStringLiteral("<p>Hello <em>world</em></p>\n"));
    EXPECT_EQ(renderPlainText(blocks), QStringLiteral("Hello world"));
    EXPECT_EQ(renderMarkdown(blocks), QStringLiteral("Hello *world*"));
}

TEST(MarkdownParser, renderedHtmlNeverCarriesRawHtmlOrScriptLinks)
{
    // Built in code as well as parsed: nothing raw reaches the HTML either way.
    const QList<BlockNode> blocks{
        BlockNode::HtmlBlock{QStringLiteral("<script>alert(1)</script>\n")},
        paragraph({InlineNode::Html{QStringLiteral("<img src=x onerror=alert(1)>")},
                   link(u"javascript:alert(1)", {text(u"click")}),
                   image(u"vbscript:x", {text(u"v")})}),
    };
    const QString html = renderHTML(blocks)
                         + renderHTML(parseMarkdown(QStringLiteral(
                             "<iframe src=x></iframe>\n\n<b onclick=x>b</b> [j](javascript:x)")));
    EXPECT_FALSE(html.contains(QStringLiteral("<script")));
    EXPECT_FALSE(html.contains(QStringLiteral("onerror")));
    EXPECT_FALSE(html.contains(QStringLiteral("<iframe")));
    EXPECT_FALSE(html.contains(QStringLiteral("onclick")));
    EXPECT_FALSE(html.contains(QStringLiteral("script:")));
    EXPECT_TRUE(html.contains(QStringLiteral("<!-- raw HTML omitted -->")));
    EXPECT_TRUE(html.contains(QStringLiteral(">click</a>")));
}

TEST(MarkdownParser, tablesBuiltBackMarkOnlyTheFirstRowAsHeader)
{
    const auto row = [](QStringView a, QStringView b) {
        return RawTableRow{{RawTableCell{{text(a)}}, RawTableCell{{text(b)}}}};
    };
    const QList<BlockNode> blocks{
        BlockNode::Table{{RawTableColumnAlignment::center, RawTableColumnAlignment::none},
                         {row(u"h1", u"h2"), row(u"a", u"b"), row(u"c", u"d")}}};
    EXPECT_EQ(renderHTML(blocks), QStringLiteral("<table>\n<thead>\n<tr>\n"
                                                 "<th align=\"center\">h1</th>\n<th>h2</th>\n"
                                                 "</tr>\n</thead>\n<tbody>\n<tr>\n"
                                                 "<td align=\"center\">a</td>\n<td>b</td>\n"
                                                 "</tr>\n<tr>\n"
                                                 "<td align=\"center\">c</td>\n<td>d</td>\n"
                                                 "</tr>\n</tbody>\n</table>\n"));
    EXPECT_EQ(parseMarkdown(renderMarkdown(blocks)), blocks);
}

TEST(MarkdownParser, tableRowsWiderThanTheirAlignmentsRenderWhole)
{
    // A tree built in code may disagree with itself; every cell is still written.
    const QList<BlockNode> blocks{
        BlockNode::Table{{RawTableColumnAlignment::right},
                         {RawTableRow{{RawTableCell{{text(u"h")}}}},
                          RawTableRow{{RawTableCell{{text(u"a")}}, RawTableCell{{text(u"b")}},
                                       RawTableCell{{text(u"c")}}}}}}};
    const QString html = renderHTML(blocks);
    EXPECT_TRUE(html.contains(
        QStringLiteral("<td align=\"right\">a</td>\n<td>b</td>\n<td>c</td>")))
        << html.toStdString();
    EXPECT_EQ(renderHTML({BlockNode::Table{}}), QStringLiteral("<table>\n</table>\n"));
}

TEST(MarkdownParser, taskListsBuiltBackKeepTheirChecks)
{
    const QList<BlockNode> blocks{
        BlockNode::TaskList{true,
                            {RawTaskListItem{true, {paragraph({text(u"done")})}},
                             RawTaskListItem{false, {paragraph({text(u"open")})}}}}};
    EXPECT_EQ(renderMarkdown(blocks), QStringLiteral("- [x] done\n- [ ] open"));
    EXPECT_EQ(parseMarkdown(renderMarkdown(blocks)), blocks);
    EXPECT_EQ(renderHTML(blocks), referenceHTML(QStringLiteral("- [x] done\n- [ ] open")));
}

// A task item whose content starts with a block other than a paragraph is written with its
// check box alone on the line, so the block reads back as a block, not as the item's text.
TEST(MarkdownParser, taskItemsStartingWithABlockReadBackTheSame)
{
    const BlockNode nested =
        BlockNode::BulletedList{true, {RawListItem{{paragraph({text(u"b")})}}}};
    const struct
    {
        const char *name;
        BlockNode first;
        bool isTight;
    } rows[] = {
        {"list", nested, true},
        {"numbered list",
         BlockNode::NumberedList{true, 3, {RawListItem{{paragraph({text(u"n")})}}}}, true},
        {"heading", BlockNode::Heading{2, {text(u"title")}}, true},
        {"quote", BlockNode::Blockquote{{paragraph({text(u"quoted")})}}, false},
        {"indented code", BlockNode::CodeBlock{std::nullopt, QStringLiteral("x\n")}, true},
        {"fenced code", BlockNode::CodeBlock{QStringLiteral("sh"), QStringLiteral("y\n")}, true},
        {"break", BlockNode::ThematicBreak{}, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QList<BlockNode> blocks{BlockNode::TaskList{
            row.isTight,
            {RawTaskListItem{false, {paragraph({text(u"a")})}},
             RawTaskListItem{true, {row.first}}}}};
        const QString written = renderMarkdown(blocks);
        EXPECT_EQ(parseMarkdown(written), blocks) << written.toStdString();
        // HTML is written from the same blocks, without the line's empty paragraph.
        EXPECT_FALSE(renderHTML(blocks).contains(QStringLiteral("<p></p>")));
    }
    // The case found by comparing round trips: a plain item holding a list, in a task list.
    const QString source = QStringLiteral("- [ ] a\n- - b\n");
    const QList<BlockNode> parsed = parseMarkdown(source);
    EXPECT_EQ(parseMarkdown(renderMarkdown(parsed)), parsed);
}
