#include "RenderedText.h"

#include "markdown/MarkdownParser.h"
#include "markdown_view/Deprecations.h"
#include "markdown_view/MarkdownView.h"

#include <QApplication>

#include <gtest/gtest.h>

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testing;

TEST(Deprecations, labelStylesReplaceOneSlotOfACopy)
{
    const Theme original = Theme::basic();
    const auto marked = [](const View &label) {
        return views::paddingPoints(label, int(Edge::leading), 40);
    };
    const Theme changed = deprecated::heading(original, 3, marked);
    const Theme quoted =
        deprecated::withBlockStyle(original, &Theme::paragraph, marked);
    const auto leftOf = [](const Theme &theme, const QString &markdown) {
        DocumentLayout layout(parseMarkdown(markdown),
                              MarkdownView::rootContext(theme, {}, QApplication::palette()));
        layout.setWidth(500);
        layout.layoutAll();
        return placedOfType<SelectableText>(layout).first().second.x();
    };
    EXPECT_EQ(leftOf(changed, QStringLiteral("### three")), 40);
    EXPECT_EQ(leftOf(changed, QStringLiteral("## two")), 0);
    EXPECT_EQ(leftOf(original, QStringLiteral("### three")), 0);
    EXPECT_EQ(leftOf(quoted, QStringLiteral("text")), 40);
    EXPECT_EQ(leftOf(deprecated::codeBlock(original, marked), QStringLiteral("```\ncode\n```")),
              40);
}

TEST(DeprecationsDeathTest, entryPointsWithoutBehaviourStopWithUnimplemented)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    using Style = deprecated::MarkdownStyle;
    EXPECT_DEATH(Style::Font::body(), "Unimplemented");
    EXPECT_DEATH(Style::HeadingScales(1, 1, 1, 1, 1, 1), "Unimplemented");
    EXPECT_DEATH(deprecated::MarkdownImageHandler::remoteImage(), "Unimplemented");
    EXPECT_DEATH(deprecated::headingView(1, [] { return InlineContent(); }), "Unimplemented");
}
