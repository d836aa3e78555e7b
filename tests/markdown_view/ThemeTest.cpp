#include "RenderedText.h"

#include "markdown/MarkdownParser.h"
#include "markdown_view/MarkdownView.h"
#include "support/QtPrinters.h"

#include <QApplication>

#include <gtest/gtest.h>

using namespace tolvaran::markdown;
using namespace tolvaran::markdown::testing;

namespace {

std::unique_ptr<DocumentLayout> laidOut(const QString &markdown, const Theme &theme,
                                        ColorScheme scheme = ColorScheme::light)
{
    StyleContext context = MarkdownView::rootContext(theme, {}, QApplication::palette());
    context.colorScheme = scheme;
    auto layout = std::make_unique<DocumentLayout>(parseMarkdown(markdown), context);
    layout->setWidth(600);
    layout->layoutAll();
    return layout;
}

QTextCharFormat firstFormat(const DocumentLayout &layout, qsizetype block)
{
    const auto *text = static_cast<const TextItem *>(texts(*layout.item(block)).first());
    return text->attributedText().formats.first().format;
}

int pixelSize(const QTextCharFormat &format)
{
    return format.font().pixelSize();
}

const QString headings = QStringLiteral("# 1\n\n## 2\n\n### 3\n\n#### 4\n\n##### 5\n\n###### 6\n\n"
                                        "body");

} // namespace

TEST(Themes, headingSizesAndWeights)
{
    const struct
    {
        const char *name;
        const Theme &theme;
        int body;
        QList<qreal> factors;
    } cases[] = {
        {"basic", Theme::basic(), 13, {2, 1.5, 1.17, 1, 0.83, 0.67}},
        {"gitHub", Theme::gitHub(), 16, {2, 1.5, 1.25, 1, 0.875, 0.85}},
        {"documentation", Theme::documentation(), 13,
         {2, 1.88235, 1.64706, 1.41176, 1.29412, 1}},
    };
    for (const auto &row : cases) {
        const auto layout = laidOut(headings, row.theme);
        EXPECT_EQ(pixelSize(firstFormat(*layout, 6)), row.body) << row.name;
        EXPECT_EQ(firstFormat(*layout, 6).font().weight(), QFont::Normal) << row.name;
        for (int level = 1; level <= 6; ++level) {
            const QTextCharFormat format = firstFormat(*layout, level - 1);
            EXPECT_EQ(pixelSize(format), wholePoints(row.body * row.factors[level - 1]))
                << row.name << " level " << level;
            EXPECT_EQ(format.font().weight(), QFont::DemiBold) << row.name << " " << level;
        }
    }
}

TEST(Themes, gitHubColoursFollowTheAppearance)
{
    const struct
    {
        ColorScheme scheme;
        QRgb text;
        QRgb background;
        QRgb smallHeading;
    } cases[] = {
        {ColorScheme::light, 0xFF060606, 0xFFFFFFFF, 0xFF6B6E7B},
        {ColorScheme::dark, 0xFFFBFBFC, 0xFF18191D, 0xFF6D707D},
    };
    for (const auto &row : cases) {
        const auto layout = laidOut(headings, Theme::gitHub(), row.scheme);
        const QTextCharFormat body = firstFormat(*layout, 6);
        EXPECT_EQ(body.foreground().color().rgba(), row.text);
        EXPECT_EQ(body.background().color().rgba(), row.background);
        EXPECT_EQ(Theme::gitHub().textBackgroundColor()->resolved(row.scheme).rgba(),
                  row.background);
        EXPECT_EQ(firstFormat(*layout, 5).foreground().color().rgba(), row.smallHeading);
    }
    // Only the two largest headings have a rule under them.
    const auto layout = laidOut(headings, Theme::gitHub());
    for (int level = 1; level <= 6; ++level) {
        QList<PlacedItem> placed;
        collectPlaced(*layout->item(level - 1), QPointF(), placed);
        const bool ruled = std::any_of(placed.begin(), placed.end(), [](const PlacedItem &item) {
            return dynamic_cast<const DividerItem *>(item.item) != nullptr;
        });
        EXPECT_EQ(ruled, level <= 2) << level;
    }
}

TEST(Themes, documentationHeadingsHaveTopMarginsOnly)
{
    const auto layout = laidOut(headings, Theme::documentation());
    const BlockMargin first = layout->item(0)->margins();
    const BlockMargin second = layout->item(1)->margins();
    EXPECT_EQ(first.bottom, 0);
    EXPECT_EQ(second.bottom, 0);
    ASSERT_TRUE(first.top && second.top);
    // 0.8 em of the level-1 size against 1.6 em of the smaller level-2 size.
    EXPECT_LT(*first.top, *second.top);
    const auto light = laidOut(QStringLiteral("text [link](https://example.com)"),
                               Theme::documentation());
    const AttributedText &text =
        static_cast<const TextItem *>(texts(*light->item(0)).first())->attributedText();
    EXPECT_EQ(text.formats[0].format.foreground().color().rgba(), 0xFF1D1D1F);
    EXPECT_EQ(text.formats[1].format.foreground().color().rgba(), 0xFF0066CC);
}

TEST(Themes, basicQuotesAreItalicAndIndentedWithoutABar)
{
    const auto layout = laidOut(QStringLiteral("> quoted"), Theme::basic());
    EXPECT_TRUE(firstFormat(*layout, 0).font().italic());
    const auto placed = placedOfType<TextItem>(*layout);
    EXPECT_EQ(placed[0].second.x(), 26); // 2 em of 13 pixels
    EXPECT_TRUE(placedOfType<LeadingBarItem>(*layout).isEmpty());
    EXPECT_FALSE(placedOfType<LeadingBarItem>(*laidOut(QStringLiteral("> quoted"),
                                                      Theme::gitHub()))
                     .isEmpty());
}
