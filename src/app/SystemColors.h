#pragma once

#include <QColor>
#include <QPalette>

namespace tolvaran {

// The named colours of the browser, in one place. The fixed hues are the usual light-theme
// system colours; the label, separator and accent colours follow the widget's palette.
namespace SystemColors {

QColor red();
QColor orange();
QColor yellow();
QColor green();
QColor purple();

QColor accent(const QPalette &palette);
QColor label(const QPalette &palette);
QColor secondaryLabel(const QPalette &palette);
QColor tertiaryLabel(const QPalette &palette);
QColor separator(const QPalette &palette);
QColor controlBackground(const QPalette &palette);

// `color` at the given opacity (0 to 1).
QColor withAlpha(QColor color, double alpha);

} // namespace SystemColors

} // namespace tolvaran
