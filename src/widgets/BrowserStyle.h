#pragma once

#include "widgets/ScaledFont.h"

#include <QColor>
#include <QFont>
#include <QPalette>

class QWidget;

namespace tolvaran {

// Fonts and colours of the browser, taken from the application's font and palette so that
// they follow the desktop's theme. Sizes are the design's pixels at the default application
// font; the fonts grow with it (FontScale).
namespace BrowserStyle {

ScaledFont systemFont(int designPixelSize, QFont::Weight weight = QFont::Normal);
// Digits of equal width, so that changing figures do not make their labels jitter.
ScaledFont monospacedDigitFont(int designPixelSize, QFont::Weight weight = QFont::Normal);
// The desktop's fixed-width face (paths, hashes, branches).
ScaledFont monospacedFont(int designPixelSize, QFont::Weight weight = QFont::Normal);

// The opacity of secondary text over its background.
constexpr double secondaryLabelOpacity = 0.62;
// Text a step and two steps less prominent than the window's own text.
QColor secondaryLabelColor(const QPalette &palette);
QColor tertiaryLabelColor(const QPalette &palette);
// The grey behind the cards.
QColor underPageBackgroundColor(const QPalette &palette);

// Sets the widget's text colour (QPalette::WindowText and QPalette::Text).
void setTextColor(QWidget *widget, const QColor &color);
// Sets the widget's text colour for text on the palette's selection highlight (a selected
// row's), in each colour group: the highlighted-text colour where it keeps
// SystemColors::minimumTextContrast there, else black or white; `secondary` text fades toward
// the highlight as secondaryLabelColor does, as far as that contrast allows.
void setTextColorOnSelection(QWidget *widget, bool secondary);
// Fills the widget's background with `color` (it draws its own background from now on).
void setBackgroundColor(QWidget *widget, const QColor &color);

// Draws a checked button in the palette's selection colours (or back in its own palette):
// Fusion's pressed shade alone cannot be told from the others in a dark palette. Its words
// take the highlighted-text colour where that keeps SystemColors::minimumTextContrast on the
// fill the style draws, else black or white.
void setSelectedLook(QWidget *button, bool selected);

} // namespace BrowserStyle
} // namespace tolvaran
