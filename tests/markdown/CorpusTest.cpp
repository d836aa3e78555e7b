#include "markdown/CmarkReference.h"
#include "markdown/KebabCase.h"
#include "markdown/MarkdownParser.h"
#include "markdown/QStringPrinting.h"
#include "support/markdown/MarkdownCorpus.h"

#include <QSet>

#include <gtest/gtest.h>

#include <ostream>

namespace tolvaran::fixtures::markdown {
void PrintTo(const CorpusEntry &entry, std::ostream *out)
{
    *out << entry.name.toStdString();
}
} // namespace tolvaran::fixtures::markdown

using namespace tolvaran::markdown;
using tolvaran::fixtures::markdown::CorpusEntry;

namespace {

class CorpusTest : public ::testing::TestWithParam<CorpusEntry>
{
};

} // namespace

// Parsing into the node model and rendering from it loses nothing that HTML shows.
TEST_P(CorpusTest, htmlEqualsTheLibrarysOwnRendering)
{
    const CorpusEntry &entry = GetParam();
    EXPECT_EQ(renderHTML(parseMarkdown(entry.text)).toStdString(),
              testsupport::referenceHTML(entry.text).toStdString());
}

// CommonMark written from the model reads back as the same model and is then written the
// same way. Where the library writes the same meaning differently (a space in a destination
// becomes "%20", escaped brackets split text differently, adjacent lists get an HTML comment
// between them), the written text is still a fixed point.
TEST_P(CorpusTest, commonMarkRoundTripIsStable)
{
    static const QSet<QString> rewrittenByTheLibrary{
        QStringLiteral("inlineLinks"), QStringLiteral("referenceLinks"),
        QStringLiteral("bulletedLists"), QStringLiteral("numberedLists")};
    const CorpusEntry &entry = GetParam();
    const QList<BlockNode> blocks = parseMarkdown(entry.text);
    const QString written = renderMarkdown(blocks);
    const QList<BlockNode> reread = parseMarkdown(written);
    if (!rewrittenByTheLibrary.contains(entry.name)) {
        EXPECT_EQ(reread, blocks) << written.toStdString();
    }
    EXPECT_EQ(renderMarkdown(reread).toStdString(), written.toStdString());
}

TEST_P(CorpusTest, plainTextLeavesOutRawHtmlAndTheFinalLineFeed)
{
    const QString plain = renderPlainText(parseMarkdown(GetParam().text));
    EXPECT_FALSE(plain.endsWith(QLatin1Char('\n')));
    for (const QString &markup : {QStringLiteral("<span"), QStringLiteral("<div"),
                                  QStringLiteral("<script"), QStringLiteral("<iframe")})
        EXPECT_FALSE(plain.contains(markup)) << markup.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Markdown, CorpusTest,
                         ::testing::ValuesIn(tolvaran::fixtures::markdown::corpus()),
                         [](const ::testing::TestParamInfo<CorpusEntry> &parameter) {
                             return parameter.param.name.toStdString();
                         });

TEST(Corpus, plainTextOfADocument)
{
    const QList<BlockNode> blocks = parseMarkdown(QStringLiteral(
        "# Title *here*\n\nSome **bold** `code` and [a link](https://x)\nnext line.\n\n"
        "> quoted\n\n```\ncode block\n```\n\n<div>raw</div>\n"));
    EXPECT_EQ(renderPlainText(blocks),
              QStringLiteral("Title here\n\nSome bold code and a link\nnext line.\n\nquoted\n\n"
                             "code block"));
}

TEST(Corpus, headingIdentifiers)
{
    QStringList identifiers;
    for (const CorpusEntry &entry : tolvaran::fixtures::markdown::corpus()) {
        for (const BlockNode &block : parseMarkdown(entry.text)) {
            if (const auto *heading = block.as<BlockNode::Heading>())
                identifiers.append(kebabCased(renderPlainText(heading->content)));
        }
    }
    EXPECT_EQ(identifiers,
              (QStringList{QStringLiteral("one"), QStringLiteral("two-emphasised"),
                           QStringLiteral("three"), QStringLiteral("four-code"),
                           QStringLiteral("five"), QStringLiteral("six"),
                           QStringLiteral("title-with-strong"), QStringLiteral("subtitle"),
                           QStringLiteral("project"), QStringLiteral("install")}));
}
