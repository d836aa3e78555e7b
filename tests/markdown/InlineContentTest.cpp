#include "NodeBuilders.h"

#include "markdown/nodes/Code.h"
#include "markdown/InlineContentBuilder.h"
#include "markdown/nodes/InlineImage.h"
#include "markdown/nodes/InlineLink.h"
#include "markdown/nodes/LineBreak.h"
#include "markdown/MarkdownParser.h"
#include "markdown/nodes/Paragraph.h"
#include "markdown/nodes/SoftBreak.h"
#include "markdown/nodes/StyledInline.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace tolvaran::markdown;
using testsupport::link;
using testsupport::text;

namespace {

InlineContent one(InlineNode node)
{
    return InlineContent(QList<InlineNode>{std::move(node)});
}

} // namespace

TEST(InlineContent, statementsBecomeNodesInOrderAndStringsStayLiteral)
{
    const InlineContent content = InlineContentBuilder()
                                      .add("*not emphasis* and `no code`")
                                      .add(Emphasis("stressed"))
                                      .add(LineBreak())
                                      .content();
    EXPECT_EQ(content.inlines(),
              (QList<InlineNode>{text(u"*not emphasis* and `no code`"),
                                 InlineNode::Emphasis{{text(u"stressed")}},
                                 InlineNode::LineBreak{}}));
}

TEST(InlineContent, conditionsAndLoopsAddWhatTheirPassesAdd)
{
    const auto build = [](bool condition, const QStringList &words) {
        InlineContentBuilder builder;
        builder.add("start");
        if (condition)
            builder.add(Strong("shown"));
        for (const QString &word : words)
            builder.add(SoftBreak()).add(Code(word));
        builder.add(condition ? std::optional(one(InlineNode::LineBreak{})) : std::nullopt);
        return builder.content().inlines();
    };
    EXPECT_EQ(build(false, {}), QList<InlineNode>{text(u"start")});
    EXPECT_EQ(build(true, {"a", "b"}),
              (QList<InlineNode>{text(u"start"), InlineNode::Strong{{text(u"shown")}},
                                 InlineNode::SoftBreak{}, InlineNode::Code{"a"},
                                 InlineNode::SoftBreak{}, InlineNode::Code{"b"},
                                 InlineNode::LineBreak{}}));
    EXPECT_TRUE(InlineContentBuilder().content().inlines().isEmpty());
}

TEST(InlineContent, eachElementIsOneNodeAroundItsContent)
{
    const QUrl url("https://example.com/docs");
    const InlineContent inner = InlineContentBuilder().add("a ").add(Code("b")).content();
    const QList<InlineNode> innerNodes = inner.inlines();
    const struct
    {
        const char *name;
        InlineContent content;
        InlineNode node;
    } rows[] = {
        {"code", Code("x*y").inlineContent(), InlineNode::Code{"x*y"}},
        {"emphasis of text", Emphasis("e").inlineContent(), InlineNode::Emphasis{{text(u"e")}}},
        {"strong of content", Strong(inner).inlineContent(), InlineNode::Strong{innerNodes}},
        {"strikethrough of content", Strikethrough(inner).inlineContent(),
         InlineNode::Strikethrough{innerNodes}},
        {"link of text", InlineLink("docs", url).inlineContent(),
         link(u"https://example.com/docs", {text(u"docs")})},
        {"link of content", InlineLink(url, inner).inlineContent(),
         link(u"https://example.com/docs", innerNodes)},
        {"soft break", SoftBreak().inlineContent(), InlineNode::SoftBreak{}},
        {"line break", LineBreak().inlineContent(), InlineNode::LineBreak{}},
        {"image", InlineImage("alt", url).inlineContent(),
         testsupport::image(u"https://example.com/docs", {text(u"alt")})},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.content.inlines(), QList<InlineNode>{row.node});
    }
}

TEST(InlineContent, linksKeepTheWholeTextOfTheirUrl)
{
    // The link text is what was typed; the destination is the URL's own, escaped form.
    const InlineLink escaped("a b", QUrl("https://example.com/a b?q=\u00fc"));
    EXPECT_EQ(escaped.destination, "https://example.com/a%20b?q=%C3%BC");
    EXPECT_EQ(escaped.inlineContent().inlines(),
              QList<InlineNode>{link(u"https://example.com/a%20b?q=%C3%BC", {text(u"a b")})});
    EXPECT_EQ(InlineLink("rel", QUrl("docs/intro.md")).destination, "docs/intro.md");
}

TEST(InlineContent, contentsAreEqualExactlyWhenTheirNodesAre)
{
    const InlineContent a = InlineContentBuilder().add("x").add(Emphasis("y")).content();
    const InlineContent same = InlineContent(
        QList<InlineContent>{one(text(u"x")), Emphasis("y").inlineContent()});
    const InlineContent reversed = InlineContentBuilder().add(Emphasis("y")).add("x").content();
    EXPECT_EQ(a, same);
    EXPECT_NE(a, reversed);
    EXPECT_NE(a, InlineContentBuilder().add("x").add(Strong("y")).content());
    EXPECT_EQ(InlineContent(), InlineContent(QList<InlineContent>{}));
}

TEST(InlineContent, builtParagraphEqualsTheParsedOne)
{
    const InlineContent content = InlineContentBuilder()
                                      .add("Read ")
                                      .add(Strong("this"))
                                      .add(", ")
                                      .add(Strikethrough("not"))
                                      .add(SoftBreak())
                                      .add(InlineLink(QUrl("https://example.com/"),
                                                      InlineContentBuilder()
                                                          .add(Emphasis("the"))
                                                          .add(" guide")
                                                          .content()))
                                      .add(LineBreak())
                                      .add(Code("make"))
                                      .content();
    EXPECT_EQ(Paragraph(content).markdownContent().blocks(),
              parseMarkdown("Read **this**, ~~not~~\n[*the* guide](https://example.com/)\\\n"
                            "`make`\n"));
}
