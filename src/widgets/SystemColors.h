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

// `color` at the given opacity (0 to 1) of its own.
QColor withAlpha(QColor color, double alpha);

} // namespace SystemColors

} // namespace tolvaran
