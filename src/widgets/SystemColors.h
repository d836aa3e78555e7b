#pragma once

#include <QColor>
#include <QPalette>

namespace tolvaran {

// The named colours of the cards beside BrowserStyle's label colours. The fixed hues are the
// usual light-theme system colours; accent, label, separator and control background follow
// the widget's palette.
namespace SystemColors {

QColor red();
QColor orange();
QColor yellow();
QColor green();
QColor purple();

QColor accent(const QPalette &palette);
QColor label(const QPalette &palette);
QColor separator(const QPalette &palette);
QColor controlBackground(const QPalette &palette);

// `color` at the given opacity (0 to 1) of its own.
QColor withAlpha(QColor color, double alpha);

} // namespace SystemColors

} // namespace tolvaran
