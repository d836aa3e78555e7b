#include "markdown_view/MarkdownView.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

using namespace tolvaran::markdown;
using tolvaran::fixtures::waitUntil;

TEST(MarkdownView, imageBaseUrlFallsBackToTheBaseUrl)
{
    MarkdownView view;
    const QUrl base(QStringLiteral("https://example.com/docs/"));
    view.setContent(MarkdownContent(QStringLiteral("text")), base);
    EXPECT_EQ(view.baseURL(), base);
    EXPECT_EQ(view.imageBaseURL(), base);
    EXPECT_EQ(view.documentLayout()->context().imageBaseURL, base);

    const QUrl images(QStringLiteral("https://cdn.example.com/"));
    view.setContent(MarkdownContent(QStringLiteral("text")), base, images);
    EXPECT_EQ(view.imageBaseURL(), images);

    view.setContent(MarkdownContent(QStringLiteral("text")));
    EXPECT_FALSE(view.baseURL().has_value());
    EXPECT_FALSE(view.imageBaseURL().has_value());
}

TEST(MarkdownView, parsesOffTheGuiThreadAndShowsTheLatestText)
{
    MarkdownView view;
    view.resize(400, 300);
    view.setMarkdown(QStringLiteral("# first"));
    view.setMarkdown(QStringLiteral("second\n\nthird"));
    EXPECT_TRUE(view.isParsing());
    ASSERT_TRUE(waitUntil([&] { return !view.isParsing(); }));
    ASSERT_NE(view.documentLayout(), nullptr);
    EXPECT_EQ(view.content().blocks().size(), 2);
    EXPECT_GT(view.documentLayout()->laidOutCount(), 0);
}

TEST(MarkdownView, aViewDestroyedWhileParsingReceivesNothing)
{
    QString text;
    for (int line = 0; line < 20000; ++line)
        text += QStringLiteral("- item *%1*\n").arg(line);
    {
        MarkdownView view;
        view.setMarkdown(text);
    }
    tolvaran::fixtures::processEventsFor(std::chrono::milliseconds(200));
    SUCCEED();
}
