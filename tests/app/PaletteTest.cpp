// Symbols and the named colours in light and dark palettes.
#include "support/widgets/Palettes.h"
#include "widgets/BrowserStyle.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QPushButton>

#include <map>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;


TEST(PaletteTest, untintedSymbolsAreDrawnInThePalettesTextColour)
{
    for (const auto &[name, palette] :
         {std::pair{"light", lightPalette()}, std::pair{"dark", darkPalette()}}) {
        SCOPED_TRACE(name);
        ScopedPalette scoped(palette);
        const QRgb text = palette.color(QPalette::WindowText).rgb();
        for (const char *symbol : {"pencil", "plus", "sidebar.left", "arrow.clockwise",
                                   "terminal", "bubble.left.and.text.bubble.right",
                                   "arrow.up.right.square", "ellipsis.circle"}) {
            SCOPED_TRACE(symbol);
            const QImage image = symbolIcon(QString::fromLatin1(symbol))
                                     .pixmap(24, 24)
                                     .toImage()
                                     .convertToFormat(QImage::Format_ARGB32);
            ASSERT_FALSE(image.isNull());
            int opaque = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb pixel = image.pixel(x, y);
                    if (qAlpha(pixel) < 250)
                        continue;
                    ++opaque;
                    EXPECT_EQ(pixel & RGB_MASK, text & RGB_MASK) << x << "," << y;
                }
            }
            EXPECT_GT(opaque, 0);
        }
    }
}

TEST(PaletteTest, namedColoursKeepTheirContrastInLightAndDarkPalettes)
{
    for (const auto &[name, palette] :
         {std::pair{"light", lightPalette()}, std::pair{"dark", darkPalette()}}) {
        SCOPED_TRACE(name);
        ScopedPalette scoped(palette);
        const QColor base = palette.color(QPalette::Base);
        const std::pair<const char *, QColor> colours[] = {
            {"red", SystemColors::red()},       {"orange", SystemColors::orange()},
            {"yellow", SystemColors::yellow()}, {"green", SystemColors::green()},
            {"purple", SystemColors::purple()}, {"accent", SystemColors::accent(palette)},
        };
        for (const auto &[colourName, colour] : colours) {
            EXPECT_GE(SystemColors::contrastRatio(colour, base), SystemColors::minimumContrast)
                << colourName << " " << colour.name().toStdString();
        }
    }
    // A colour too close to its background is moved away from it, not left as it was.
    const QColor adjusted = SystemColors::legibleOn(QColor(60, 60, 70), QColor(35, 35, 35));
    EXPECT_GE(SystemColors::contrastRatio(adjusted, QColor(35, 35, 35)), 3.0);
    EXPECT_DOUBLE_EQ(SystemColors::contrastRatio(Qt::black, Qt::white), 21.0);
}

// A selected tab or segment is filled with the selection colour as the style draws a button
// of it (Fusion lightens it); its words keep body text's contrast on that fill, in light and
// dark palettes.
TEST(PaletteTest, aSelectedButtonsWordsKeepTheirContrastOnItsDrawnFill)
{
    for (const QPalette &palette : {lightPalette(), darkPalette()}) {
        SCOPED_TRACE(palette.color(QPalette::Window).name().toStdString());
        ScopedPalette applied(palette);
        for (const bool flat : {true, false}) {
            QPushButton button(QStringLiteral("Shared Projects"));
            button.setFlat(flat);
            button.setCheckable(true);
            button.setChecked(true);
            BrowserStyle::setSelectedLook(&button, true);
            button.resize(button.sizeHint() + QSize(20, 8));
            const QImage drawn = button.grab().toImage();
            std::map<QRgb, int> counts;
            for (int y = 0; y < drawn.height(); ++y) {
                for (int x = 0; x < drawn.width(); ++x)
                    ++counts[drawn.pixel(x, y)];
            }
            QRgb fill = 0;
            int most = 0;
            for (const auto &[colour, count] : counts) {
                if (count > most) {
                    fill = colour;
                    most = count;
                }
            }
            EXPECT_GE(SystemColors::contrastRatio(
                          button.palette().color(QPalette::Active, QPalette::ButtonText),
                          QColor(fill)),
                      SystemColors::minimumTextContrast)
                << QColor(fill).name().toStdString();
        }
    }
}
