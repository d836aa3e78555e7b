#pragma once

#include <QtGlobal>

namespace tolvaran::markdown {

// What Qt's SVG renderer does with a document before any of it is painted, counted as it is
// read, and weighed by DrawingCost::ofReading. Measured with Qt 6.4 on an ordinary desktop
// with a few fonts (bench/svg_decode_bench), where a unit of the drawing budget is about
// 5 ns; the weights below leave room for a desktop with many more fonts, where looking for a
// font that draws a character takes several times as long.
struct SvgReadingWork
{
    // Every element costs a piece's overhead.
    qsizetype elements = 0;
    // Each text, tspan and textArea is laid out on its own, its fonts looked up: 80 us each
    // for short labels.
    qsizetype textElements = 0;
    static constexpr qint64 textElementWeight = 16384;
    // Every character is shaped and its glyph found: 3 us each.
    qsizetype characters = 0;
    static constexpr qint64 characterWeight = 1024;
    // Wherever a text goes from one script to another, or to a symbol that the text's font
    // may not draw, its layout starts a run of its own, shaped apart, for which a font that
    // draws it is looked for: 40 us each here, where a text of 150,000 characters in ten
    // scripts took 4.6 s on a desktop with many fonts.
    qsizetype scriptChanges = 0;
    static constexpr qint64 scriptChangeWeight = 65536;
    // A textArea breaks its text into lines, each laid out on its own: up to 36 us a
    // character where the area is narrow. A run of characters without a place to break them
    // is measured again for each line it might end, so it costs the square of its length
    // (3.8 ns each: 50,000 letters without a space, 9.5 s).
    qsizetype wrappedCharacters = 0;
    static constexpr qint64 wrappedCharacterWeight = 8192;
    double unbreakableSquares = 0;
    static constexpr qint64 unbreakableWeight = 2;
    // Qt adds each stop of a gradient to a copy of the stops before it: a gradient of 40,000
    // stops took 1.4 s, and one of 190,000 half a minute. Counted as the stops before each.
    double stopsPassed = 0;
    static constexpr qint64 stopPassedWeight = 1;
    // Every element is matched against every rule of the style sheets read before it, and
    // takes the declarations of those that match: up to 360 ns each (10,000 rules for any
    // element over 1,000 rectangles, 3.6 s). Counted as the rules (blocks of declarations)
    // that each element follows.
    double ruleMatches = 0;
    static constexpr qint64 ruleMatchWeight = 128;
    // The bytes of the pictures embedded in data addresses, which Qt's readers decode while the
    // document is read: 20 ns a byte for BMP and binary PPM, up to 85 ns for the formats
    // written as text (XPM, XBM, PBM, PGM and PPM in ASCII: 10 MB, 0.8 s). Their pixels are
    // bounded apart (RasterBounds).
    qsizetype embeddedBytes = 0;
    static constexpr qint64 embeddedByteWeight = 32;

    SvgReadingWork &operator+=(const SvgReadingWork &other);
};

} // namespace tolvaran::markdown
