// The focus indicator of the program's style, read from the pixels of controls drawn with and
// without the keyboard focus: in a light and a dark palette, on the window and on a card, it
// keeps 3:1 against what it covers, all round the control.
#include "support/widgets/Palettes.h"
#include "support/widgets/ScopedFocusIndicatorStyle.h"
#include "markdown_view/MarkdownView.h"
#include "widgets/BrowserStyle.h"
#include "widgets/ClosureButton.h"
#include "widgets/SystemColors.h"

#include <QApplication>
#include <QFocusFrame>
#include <QHBoxLayout>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace tolvaran;
using namespace tolvaran::fixtures;

namespace {

struct Control
{
    const char *name;
    std::function<QWidget *(QWidget *parent)> make;
};

const Control controls[] = {
    {"small icon button",
     [](QWidget *parent) {
         ClosureButton *button = ClosureButton::symbol(QStringLiteral("pencil"),
                                                       QStringLiteral("Rename"), parent);
         button->setFixedSize(20, 20);
         button->setIconSize(QSize(14, 14));
         return button;
     }},
    {"bordered icon button",
     [](QWidget *parent) {
         ClosureButton *button = ClosureButton::symbol(QStringLiteral("folder"),
                                                       QStringLiteral("Reveal"), parent);
         button->setAutoRaise(false);
         button->setFixedSize(28, 24);
         return button;
     }},
    {"default push button",
     [](QWidget *parent) {
         auto *button = new QPushButton(QStringLiteral("Save"), parent);
         button->setDefault(true);
         return button;
     }},
    {"selected flat tab",
     [](QWidget *parent) {
         auto *button = new QPushButton(QStringLiteral("People"), parent);
         button->setFlat(true);
         button->setCheckable(true);
         button->setChecked(true);
         BrowserStyle::setSelectedLook(button, true);
         return button;
     }},
    {"field", [](QWidget *parent) { return new QLineEdit(QStringLiteral("Ops"), parent); }},
};

// How many pixels of the control change by at least 3:1 when it takes the focus.
int strongPixels(QWidget &window, QWidget *control)
{
    window.setAttribute(Qt::WA_KeyboardFocusChange);
    control->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(control->hasFocus());
    const QImage focused = window.grab(control->geometry()).toImage();
    control->clearFocus();
    const QImage unfocused = window.grab(control->geometry()).toImage();
    int strong = 0;
    for (int y = 0; y < focused.height(); ++y) {
        for (int x = 0; x < focused.width(); ++x) {
            if (SystemColors::contrastRatio(focused.pixelColor(x, y), unfocused.pixelColor(x, y))
                >= SystemColors::minimumContrast)
                ++strong;
        }
    }
    return strong;
}

TEST(FocusIndicatorTest, keepsThreeToOneAllRoundEachControlInLightAndDarkPalettes)
{
    ScopedFocusIndicatorStyle style;
    for (const auto &[paletteName, palette] :
         {std::pair{"light", lightPalette()}, std::pair{"dark", darkPalette()}}) {
        ScopedPalette scoped(palette);
        for (const bool onCard : {false, true}) {
            for (const Control &control : controls) {
                SCOPED_TRACE(std::string(paletteName) + (onCard ? ", on a card, " : ", ")
                             + control.name);
                QWidget window;
                // A card is drawn on the palette's base colour; the window on its own.
                if (onCard)
                    BrowserStyle::setBackgroundColor(&window, palette.color(QPalette::Base));
                auto *row = new QHBoxLayout(&window);
                QWidget *shown = control.make(&window);
                row->addWidget(shown);
                window.show();
                window.activateWindow();
                ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
                // At least one unbroken line of pixels along the edge, less the rounded corners.
                const int perimeter = 2 * (shown->width() + shown->height()) - 16;
                EXPECT_GE(strongPixels(window, shown), perimeter);
            }
        }
    }
}

// A scrolling area that draws its own focus, a Markdown view's frame around the document or the
// link it reached, gets no second ring around it from the style; other areas do.
TEST(FocusIndicatorTest, anAreaThatDrawsItsOwnFocusGetsNoSecondRing)
{
    ScopedFocusIndicatorStyle style;
    markdown::MarkdownView view;
    view.ensurePolished();
    EXPECT_EQ(view.findChild<QFocusFrame *>(), nullptr);
    QScrollArea area;
    area.ensurePolished();
    EXPECT_NE(area.findChild<QFocusFrame *>(), nullptr);
}

// The colour itself, where a palette's highlight is too faint on its backgrounds: it is
// darkened on light ones and lightened on dark ones until it keeps 3:1 against each.
TEST(FocusIndicatorTest, theColourKeepsThreeToOneAgainstEachBackground)
{
    QPalette pale = lightPalette();
    pale.setColor(QPalette::Highlight, QColor(177, 199, 213));
    QPalette dim = darkPalette();
    dim.setColor(QPalette::Highlight, QColor(40, 60, 90));
    for (const QPalette &palette : {lightPalette(), darkPalette(), pale, dim}) {
        const QColor ring = FocusIndicatorStyle::indicatorColor(palette);
        for (const QPalette::ColorRole background :
             {QPalette::Window, QPalette::Button, QPalette::Base}) {
            EXPECT_GE(SystemColors::contrastRatio(ring, palette.color(background)),
                      SystemColors::minimumContrast)
                << ring.name().toStdString() << " on "
                << palette.color(background).name().toStdString();
        }
    }
}

} // namespace
