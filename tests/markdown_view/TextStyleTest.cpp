#include "markdown_view/theme/StyleContext.h"
#include "markdown_view/theme/TextStyle.h"

#include <gtest/gtest.h>

using namespace tolvaran::markdown;

namespace {

const Color red = QColor(Qt::red);
const Color blue = QColor(Qt::blue);

StyleContext root()
{
    return StyleContext::root(nullptr);
}

} // namespace

TEST(TextStyle, innerStylesWinAndOuterStylesSurviveForOtherAttributes)
{
    const StyleContext outer = root().withTextStyle({ForegroundColor{red}, TextKerning{2}});
    const StyleContext inner = outer.withTextStyle(ForegroundColor{blue});
    EXPECT_EQ(outer.attributes().foregroundColor, red);
    EXPECT_EQ(inner.attributes().foregroundColor, blue);
    EXPECT_EQ(inner.attributes().kern, 2);

    const StyleContext cleared = outer.withTextStyle(ForegroundColor{std::nullopt});
    EXPECT_FALSE(cleared.attributes().foregroundColor.has_value());
    EXPECT_EQ(root().withTextStyle(TextStyle()).attributes(), root().attributes());
}

TEST(TextStyle, fontFieldsChangeOnlyExistingFontProperties)
{
    EXPECT_FALSE(TextStyle(FontWeight{FontProperties::Weight::bold})
                     .attributes()
                     .fontProperties.has_value());

    const StyleContext boldItalic =
        root().withTextStyle(FontWeight{FontProperties::Weight::bold})
            .withTextStyle(FontStyle{FontProperties::Style::italic});
    EXPECT_EQ(boldItalic.attributes().fontProperties->weight, FontProperties::Weight::bold);
    EXPECT_EQ(boldItalic.attributes().fontProperties->style, FontProperties::Style::italic);

    const StyleContext reset = boldItalic.withTextStyle(FontProperties());
    EXPECT_EQ(*reset.attributes().fontProperties, FontProperties());
}

TEST(TextStyle, fontSizesAccumulateAsPointsEmAndRem)
{
    const struct
    {
        const char *name;
        TextStyle style;
        qreal size;
        qreal scale;
        int points;
    } rows[] = {
        {"points then em twice", {FontSize(16), FontSize(RelativeSize::em(2)),
                                  FontSize(RelativeSize::em(0.5))}, 16, 1, 16},
        {"rem ignores the em before it", {FontSize(16), FontSize(RelativeSize::em(2)),
                                          FontSize(RelativeSize::rem(0.75))}, 16, 0.75, 12},
        {"points cancel multipliers", {FontSize(RelativeSize::em(2)), FontSize(20)}, 20, 1, 20},
        {"nested em", {FontSize(RelativeSize::em(2)), FontSize(RelativeSize::em(2))}, 13, 4, 52},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const FontProperties font = *root().withTextStyle(row.style).attributes().fontProperties;
        EXPECT_EQ(font.size, row.size);
        EXPECT_EQ(font.scale, row.scale);
        EXPECT_EQ(font.scaledSize(), row.points);
    }
}

TEST(RelativeSize, resolvesToWholePixelsHalvesAwayFromZero)
{
    FontProperties font;
    font.size = 16;
    font.scale = 1.25;
    const struct
    {
        const char *name;
        RelativeSize size;
        std::optional<FontProperties> font;
        int points;
    } rows[] = {
        {"em follows the scaled font", RelativeSize::em(1.5), font, 30},
        {"rem follows the point size", RelativeSize::rem(1.5), font, 24},
        {"no font measures against 13", RelativeSize::em(1), std::nullopt, 13},
        {"half rounds up", RelativeSize::em(1.5), std::nullopt, 20},
        {"zero", RelativeSize::zero(), font, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.size.points(row.font), row.points);
    }
    FontProperties shrunk;
    shrunk.size = 16;
    shrunk.scale = 0.85;
    EXPECT_EQ(shrunk.scaledSize(), 14);
}

TEST(FontProperties, becomesAFontAtItsScaledPixelSize)
{
    FontProperties properties;
    EXPECT_EQ(properties.width(), FontProperties::Width::standard);
    EXPECT_EQ(properties.font().pixelSize(), 13);
    EXPECT_EQ(properties.font().weight(), QFont::Normal);

    properties.weight = FontProperties::Weight::semibold;
    properties.style = FontProperties::Style::italic;
    properties.scale = 1.5;
    const QFont font = properties.font();
    EXPECT_EQ(font.pixelSize(), 20);
    EXPECT_EQ(font.weight(), QFont::DemiBold);
    EXPECT_TRUE(font.italic());
}
