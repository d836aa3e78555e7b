#include "app/cards/AdaptiveCardFlowLayout.h"

#include <gtest/gtest.h>

using namespace tolvaran;

TEST(AdaptiveCardFlowLayout, workedWidthsGiveTheirColumnsAndCardWidths)
{
    struct Row
    {
        double viewport;
        int columns;
        double cardWidth;
    };
    const Row rows[] = {
        {400, 1, 367},  {680, 1, 430}, {685, 1, 430}, {686, 2, 320},
        {700, 2, 327},  {1000, 2, 430}, {1024, 3, 321}, {1400, 4, 331},
    };
    for (const Row &row : rows) {
        AdaptiveCardFlowLayout layout;
        layout.updateViewportWidth(row.viewport);
        EXPECT_EQ(layout.itemSize().width(), row.cardWidth) << row.viewport;
        EXPECT_EQ(layout.itemSize().height(), AdaptiveCardFlowLayout::cardHeight);
        EXPECT_EQ(layout.columnCount(row.viewport), row.columns) << row.viewport;
        EXPECT_EQ(layout.sectionInsets().left, 16.0);
        EXPECT_EQ(layout.sectionInsets().right, 16.0);
    }
}

TEST(AdaptiveCardFlowLayout, aSingleColumnIsOnePointNarrowerThanTheRoomUpToTheCap)
{
    for (const double viewport : {340.0, 400.0, 460.0, 478.0, 479.0, 600.0}) {
        AdaptiveCardFlowLayout layout;
        layout.updateViewportWidth(viewport);
        EXPECT_EQ(layout.itemSize().width(), std::min(viewport - 32.0 - 1.0, 430.0)) << viewport;
    }
}

TEST(AdaptiveCardFlowLayout, tinyViewportsShrinkTheInsetsOrChangeNothing)
{
    AdaptiveCardFlowLayout layout;
    EXPECT_TRUE(layout.updateViewportWidth(20));
    EXPECT_EQ(layout.sectionInsets().left, 9.0);
    EXPECT_EQ(layout.sectionInsets().right, 9.0);
    EXPECT_EQ(layout.sectionInsets().top, 16.0);
    EXPECT_EQ(layout.itemSize().width(), 1.0);

    AdaptiveCardFlowLayout untouched;
    EXPECT_FALSE(untouched.updateViewportWidth(2));
    EXPECT_EQ(untouched.itemSize().width(), AdaptiveCardFlowLayout::defaultCardWidth);
    EXPECT_EQ(untouched.sectionInsets().left, 16.0);
}

TEST(AdaptiveCardFlowLayout, subPointResizesAreNoChange)
{
    AdaptiveCardFlowLayout nudged;
    EXPECT_TRUE(nudged.updateViewportWidth(400));
    EXPECT_FALSE(nudged.updateViewportWidth(400.3));
    AdaptiveCardFlowLayout moved;
    EXPECT_TRUE(moved.updateViewportWidth(400));
    EXPECT_TRUE(moved.updateViewportWidth(400.6));
    EXPECT_FALSE(AdaptiveCardFlowLayout::shouldInvalidateLayout(400.0, 400.3));
    EXPECT_TRUE(AdaptiveCardFlowLayout::shouldInvalidateLayout(400.0, 400.6));
    EXPECT_FALSE(AdaptiveCardFlowLayout::shouldInvalidateLayout(400.0, 399.5));
}

TEST(AdaptiveCardFlowLayout, cardsFlowInRowsAndTheBandFindsTheRowsItMeets)
{
    AdaptiveCardFlowLayout layout;
    layout.updateViewportWidth(1024); // three columns of 321
    EXPECT_EQ(layout.itemRect(0, 1024), QRectF(16, 16, 321, 246));
    EXPECT_EQ(layout.itemRect(4, 1024).y(), 16.0 + 246 + 14);
    EXPECT_EQ(layout.contentHeight(7, 1024), 16 + 3 * 246 + 2 * 14 + 16);
    EXPECT_EQ(layout.contentHeight(0, 1024), 32);

    const auto [first, last] = layout.itemsInBand(300, 500, 100, 1024);
    EXPECT_EQ(first, 3);  // the second row starts at 276
    EXPECT_EQ(last, 5);
    const auto [none, empty] = layout.itemsInBand(5000, 6000, 7, 1024);
    EXPECT_GT(none, empty);
}
