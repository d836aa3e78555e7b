#include "markdown_view/theme/Color.h"
#include "markdown_view/theme/Theme.h"

#include <QPalette>

#include <gtest/gtest.h>

using namespace tolvaran::markdown;

TEST(Color, comesFromPackedRgba)
{
    EXPECT_EQ(Color::rgba(0xFF0000FF).resolved(ColorScheme::light), QColor(255, 0, 0, 255));
    EXPECT_EQ(Color::rgba(0).resolved(ColorScheme::dark), QColor(0, 0, 0, 0));
    EXPECT_EQ(Color::rgba(0x2C65CF80).resolved(ColorScheme::light),
              QColor(0x2C, 0x65, 0xCF, 0x80));
}

TEST(Color, pairsFollowTheLightAndDarkPalettes)
{
    QPalette light;
    light.setColor(QPalette::Window, Qt::white);
    light.setColor(QPalette::WindowText, Qt::black);
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x18, 0x19, 0x1D));
    dark.setColor(QPalette::WindowText, QColor(0xFB, 0xFB, 0xFC));

    const Color pair = Color::lightDark(Color::rgba(0x060606FF), Color::rgba(0xFBFBFCFF));
    EXPECT_EQ(pair.resolved(colorScheme(light)), QColor(0x06, 0x06, 0x06));
    EXPECT_EQ(pair.resolved(colorScheme(dark)), QColor(0xFB, 0xFB, 0xFC));

    const Color fixed = QColor(185, 185, 187);
    EXPECT_EQ(fixed.resolved(colorScheme(light)), fixed.resolved(colorScheme(dark)));
}

TEST(Theme, textBackgroundColorIsWhatTheTextSlotSetsAlone)
{
    Theme theme;
    EXPECT_FALSE(theme.textBackgroundColor().has_value());
    theme.text = {BackgroundColor{Color(QColor(Qt::yellow))}, FontSize(20)};
    EXPECT_EQ(theme.textBackgroundColor(), Color(QColor(Qt::yellow)));
    EXPECT_EQ(theme.headings.size(), 6);
}
