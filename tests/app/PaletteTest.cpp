// Symbols and the named colours in light and dark palettes.
#include "app/tags/TagSidebar.h"
#include "support/widgets/Palettes.h"
#include "widgets/BrowserStyle.h"
#include "widgets/SymbolIconTable.h"
#include "widgets/SystemColors.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>

#include <map>

#include <gtest/gtest.h>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

// The colour most pixels of `image` have: the fill of a button.
QColor dominantColour(const QImage &image)
{
    // Ordered: the optimised build warns of a null dereference in a hash's iteration.
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y)];
    }
    QRgb dominant = 0;
    int most = 0;
    for (const auto &[colour, count] : counts) {
        if (count > most) {
            dominant = colour;
            most = count;
        }
    }
    return QColor(dominant);
}

// The pixel of `image` that stands out most from `background`: where words and symbols are
// drawn solid on it, their colour.
QColor strongestAgainst(const QImage &image, const QColor &background)
{
    QColor strongest = background;
    double most = 1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel(image.pixel(x, y));
            const double contrast = SystemColors::contrastRatio(pixel, background);
            if (contrast > most) {
                strongest = pixel;
                most = contrast;
            }
        }
    }
    return strongest;
}

} // namespace


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
            const QColor fill = dominantColour(button.grab().toImage());
            EXPECT_GE(SystemColors::contrastRatio(
                          button.palette().color(QPalette::Active, QPalette::ButtonText),
                          fill),
                      SystemColors::minimumTextContrast)
                << fill.name().toStdString();
        }
    }
}

// The selected row of the tag sidebar ("All Projects" or a tag) is a pressed-in button filled
// with the selection colour; its title and symbol, read from the drawn pixels, keep body
// text's contrast on that fill, in light and dark palettes.
TEST(PaletteTest, theSelectedTagRowsWordsKeepTheirContrastOnItsDrawnFill)
{
    const ProjectTag tag{QUuid::createUuid(), QStringLiteral("Frontend")};
    const std::optional<QUuid> selections[] = {std::nullopt, tag.id};
    for (const auto &[name, palette] :
         {std::pair{"light", lightPalette()}, std::pair{"dark", darkPalette()}}) {
        ScopedPalette applied(palette);
        for (const std::optional<QUuid> &selected : selections) {
            SCOPED_TRACE(std::string(name) + (selected ? " tag" : " all projects"));
            TagSidebar sidebar;
            SidebarSignature signature;
            signature.tags = {tag};
            signature.selectedTagID = selected;
            sidebar.setSignature(signature);
            sidebar.resize(224, 400);
            sidebar.show();
            QToolButton *row = nullptr;
            for (auto *button :
                 sidebar.findChildren<QToolButton *>(QStringLiteral("sidebarRowButton"))) {
                if (button->isChecked())
                    row = button;
            }
            ASSERT_NE(row, nullptr);
            ASSERT_EQ(row->accessibleName(),
                      selected ? tag.name : QStringLiteral("All Projects"));
            // Inside the frame, whose outline is no text.
            const QImage drawn = row->grab(row->rect().adjusted(3, 3, -3, -3)).toImage();
            const QColor fill = dominantColour(drawn);
            const QColor words = strongestAgainst(drawn, fill);
            EXPECT_GE(SystemColors::contrastRatio(words, fill), SystemColors::minimumTextContrast)
                << words.name().toStdString() << " on " << fill.name().toStdString();
        }
    }
}
