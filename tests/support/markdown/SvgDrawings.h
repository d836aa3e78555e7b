#pragma once

#include <QByteArray>

namespace tolvaran::fixtures {

// Sound SVG drawings as drawing programs, chart libraries and profilers write them, made in
// the test: each takes Qt's renderer well under a second, and each holds much that costs Qt
// less than it may seem (style rules it passes over, white space, data it does not draw, text
// in several scripts).

// A blue rectangle and a green one, coloured by style rules after a comment, and around a
// string, that mention `@import`: no rules of the style sheet.
QByteArray svgMentioningImport();

// A green rectangle, its style given by an entity whose value names another entity.
QByteArray svgOfEntityNamingEntity();

} // namespace tolvaran::fixtures
