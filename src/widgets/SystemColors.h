#pragma once

#include <QColor>
#include <QPalette>

namespace tolvaran {

// The named colours of the cards beside BrowserStyle's label colours. The fixed hues have a
// light and a dark variant, chosen by the application palette's base colour and kept at
// least minimumContrast against it; accent, label, separator and control background follow
// the widget's palette.
namespace SystemColors {

// The least contrast ratio a coloured symbol or text keeps against its background: the
// usual floor for graphics and large or bold text.
inline constexpr double minimumContrast = 3.0;
// The least contrast ratio of text against its background: the usual floor for body text.
inline constexpr double minimumTextContrast = 4.5;

QColor red();
QColor orange();
QColor yellow();
QColor green();
QColor purple();
QColor blue();
QColor mint();

QColor accent(const QPalette &palette);
QColor label(const QPalette &palette);
QColor separator(const QPalette &palette);
QColor controlBackground(const QPalette &palette);

// The contrast ratio of two opaque colours, from 1 (equal) to 21 (black on white).
double contrastRatio(const QColor &first, const QColor &second);
// `color`, lightened or darkened as little as needed to keep minimumContrast against
// `background`.
QColor legibleOn(const QColor &color, const QColor &background);

// `preferred` where it keeps minimumTextContrast against `background`, else black or white,
// whichever keeps more (one of the two always keeps it).
QColor readableOn(const QColor &preferred, const QColor &background);
// `text` drawn at `opacity` (0 to 1) over `background`, as one opaque colour, made more opaque
// as far as it takes to keep minimumTextContrast (at full opacity, `text` as it is).
QColor fadedOn(const QColor &text, const QColor &background, double opacity);

// `color` at the given opacity (0 to 1) of its own.
QColor withAlpha(QColor color, double alpha);

} // namespace SystemColors

} // namespace tolvaran
