#pragma once

#include <functional>

class QObject;

namespace tolvaran {

// How large the window's own text and the room around it are drawn. The design gives sizes
// in pixels for Qt's default application font (9 points, what Qt uses where the desktop names
// no font); they grow and shrink with the application font in proportion to it, so a reader
// who asks the desktop for larger text gets all of the window larger, not only Qt's standard
// widgets. A change of the application font while the program runs (the desktop's settings,
// QApplication::setFont) is followed: fonts given through ScaledFont::apply are set again and
// every `follow` runs again.
namespace FontScale {

// The application font's point size at which the design's sizes hold as they are.
constexpr double defaultPointSize = 9.0;

// The application font's size over the default: 1 at the default, 15/9 at 15 points.
double factor();
// A length of the design (pixels at the default font) at the current factor, rounded.
int scaled(int designPixels);
double scaled(double designPixels);

// Runs `apply` now and again after every change of the application font, for as long as
// `context` lives. `apply` sets what depends on the scale (fixed sizes around text).
void follow(QObject *context, std::function<void()> apply);

} // namespace FontScale

namespace Internal {
// Where ScaledFont::apply keeps a widget's design font, for the watcher to set it again.
inline constexpr char scaledFontProperty[] = "tolvaranScaledFont";
// Starts watching the application font, once.
void watchApplicationFont();
} // namespace Internal

} // namespace tolvaran
