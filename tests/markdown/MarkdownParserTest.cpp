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

namespace {

// Whether each task item of `blocks` is ticked, depth first in document order.
void collectTicks(const QList<BlockNode> &blocks, QList<bool> &ticks)
{
    for (const BlockNode &block : blocks) {
        if (const auto *tasks = block.as<BlockNode::TaskList>()) {
            for (const RawTaskListItem &item : tasks->items) {
                ticks.append(item.isCompleted);
                collectTicks(item.children, ticks);
            }
        } else {
            collectTicks(block.children(), ticks);
        }
    }
}

QList<bool> ticks(const QString &markdown)
{
    QList<bool> result;
    collectTicks(parseMarkdown(markdown), result);
    return result;
}

} // namespace

// Only the box right after the list marker says whether a task is done: a box-like text later
// in the item, on its line or the next, changes nothing.
TEST(MarkdownParser, aTaskIsTickedByItsOwnBoxOnly)
{
    const struct
    {
        const char *name;
        const char *markdown;
        QList<bool> expected;
    } rows[] = {
        {"open, a ticked box later", "- [ ] see [x] here\n", {false}},
        {"done, an open box later", "- [x] see [ ] here\n", {true}},
        {"upper case", "- [X] done\n- [ ] see [X] here\n", {true, false}},
        {"ordered", "1. [ ] see [x] here\n2. [x] see [ ] here\n", {false, true}},
        {"ordered with a parenthesis", "7) [ ] a [x]\n8) [X] b [ ]\n", {false, true}},
        {"other bullets", "* [ ] a [x]\n\n+ [x] b [ ]\n", {false, true}},
        {"nested", "- [x] outer [ ]\n  - [ ] inner [x]\n    1. [ ] deeper [x]\n",
         {true, false, false}},
        {"several lines", "- [ ] first line\n  then [x] on the next\n- [x] first\n  [ ] next\n",
         {false, true}},
        {"lazy continuation", "- [ ] first\n[x] lazily\n", {false}},
        {"a tab after the marker", "-\t[ ] tab [x]\n", {false}},
        {"wide characters before", "- \u00e9\u00e9\n  - [ ] \u00fcber [x]\n", {false}},
        {"carriage returns", "- [x] a\r\n- [ ] b [x]\r\n- [ ] c [X]\r", {true, false, false}},
        {"a byte order mark", "\ufeff- [ ] a [x]\n", {false}},
        {"loose", "- [ ] a [x]\n\n- [x] b [ ]\n", {false, true}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(ticks(QString::fromUtf8(row.markdown)), row.expected) << row.name;

    // The box is written back as it was read.
    for (const QString &source : {QStringLiteral("- [ ] see [x] here"),
                                 QStringLiteral("- [x] see [ ] here")}) {
        const QList<BlockNode> parsed = parseMarkdown(source);
        EXPECT_EQ(parseMarkdown(renderMarkdown(parsed)), parsed) << source.toStdString();
        EXPECT_EQ(renderHTML(parsed).contains(QStringLiteral("checked")),
                  source.startsWith(QStringLiteral("- [x]")))
            << source.toStdString();
    }
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
