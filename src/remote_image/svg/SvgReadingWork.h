#pragma once

#include "remote_image/RemoteImageDecodeLimits.h"

#include <QtGlobal>

namespace tolvaran::markdown {

// `nanoseconds` of work in units of the drawing budget.
constexpr double unitsOf(double nanoseconds)
{
    return nanoseconds / RemoteImageDecodeLimits::nanosecondsPerUnit;
}

// What Qt's SVG renderer does with a document before any of it is painted: reading it and
// laying out its text, counted as the document is read and weighed by DrawingCost::ofReading.
// Each weight is the least its work took Qt 6.4 here (bench/svg_decode_bench: Qt's own CPU
// time, nothing painted, the least of five runs), rounded down, in units of the drawing budget
// (RemoteImageDecodeLimits::nanosecondsPerUnit). So the charge is a lower bound of Qt's work
// on any machine as fast as this one: a picture refused for it (past readingBudget) is one the
// decoding process would stop anyway. Work whose cost turns on what is not known here (fonts,
// widths of text, which rules match) is charged at its cheapest, or not at all: a textArea's
// breaking of lines, for one, costs nothing more where the area is wide.
struct SvgReadingWork
{
    // Every element written is read, and a node made of those Qt knows: 0.28 to 0.53 us for
    // one it passes over, 0.77 to 0.87 us for an empty group.
    qsizetype elements = 0;
    static constexpr double elementWeight = unitsOf(200);
    // A text, textArea or tspan with characters of its own is laid out when it is drawn, its
    // font resolved: 55 to 76 us for a text of one letter, 47 to 65 us for a tspan of one
    // (10 us for a text of white space alone). Not within a `defs` element, whose text is
    // drawn only where it is used.
    qsizetype textLayouts = 0;
    static constexpr double textLayoutWeight = unitsOf(30'000);
    // Each character of such text but white space is shaped and its glyph found: 1.5 to
    // 4.3 us for hiragana and Han (in no font here), 3.7 to 6.9 us for Latin and Greek.
    qsizetype characters = 0;
    static constexpr double characterWeight = unitsOf(1'000);
    // Where a text goes from one script to another, its layout starts a run of its own,
    // shaped apart in a font found for it: 42 to 65 us here between Latin, Greek, Cyrillic,
    // Hebrew, Han, hiragana and katakana, 37 us on a desktop with fonts for all of them.
    qsizetype scriptChanges = 0;
    static constexpr double scriptChangeWeight = unitsOf(30'000);
    // Where it goes to or from a block of symbols common to all scripts (arrows, marks, full
    // width forms, emoji), drawn in whichever font has them: 2.4 to 12 us.
    qsizetype symbolChanges = 0;
    static constexpr double symbolChangeWeight = unitsOf(1'500);
    // Qt adds each stop of a gradient to a copy of the stops before it: 1.3 to 2.2 ns a stop
    // passed (a gradient of 30,000 stops, 0.7 s). Counted as the stops before each.
    double stopsPassed = 0;
    static constexpr double stopPassedWeight = unitsOf(1);
    // Each rule of a style sheet is read: 0.4 to 0.7 us for an empty `@font-face`, 1.2 to
    // 1.7 us for an empty rule, 1.6 to 2.9 us for a class rule with a colour. Every element Qt
    // makes a node of (groups, shapes, images, text but tspans, uses and stops; not within
    // text) is then matched against the selectors of the rules read before it
    // (SvgStyleSheet). A selector naming an element or an id is passed over at once (3 ns);
    // one of classes, attributes or states alone is tested: 12 to 30 ns where it does not
    // match. A rule for every element (`*` alone) with declarations matches, and its
    // declarations are applied: 380 to 560 ns. Rules within `@media` are not matched.
    qsizetype styleRules = 0;
    static constexpr double styleRuleWeight = unitsOf(300);
    double selectorTests = 0;
    static constexpr double selectorTestWeight = unitsOf(8);
    double universalMatches = 0;
    static constexpr double universalMatchWeight = unitsOf(300);
    // The bytes of the pictures embedded in data addresses, which Qt decodes from base64 and
    // hands its readers while the document is read: 19 ns a byte that no reader takes, 14 to
    // 23 ns for BMP, up to 94 ns for PNG. Their pixels are bounded apart (RasterBounds).
    qsizetype embeddedBytes = 0;
    static constexpr double embeddedByteWeight = unitsOf(10);

    SvgReadingWork &operator+=(const SvgReadingWork &other);
};

} // namespace tolvaran::markdown
