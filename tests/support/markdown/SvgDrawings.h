#pragma once

#include <QByteArray>

namespace tolvaran::fixtures {

// Sound SVG drawings as drawing programs, chart libraries and profilers write them, made in
// the test: each takes Qt's renderer well under a second, and each holds much that costs Qt
// less than it may seem (style rules it passes over, white space, data it does not draw, text
// in several scripts).

// A logo as drawing programs export it: a style sheet of `rules` class rules, a colour and an
// outline each, over `paths` small shapes of curves that each name one.
QByteArray svgOfClassRuleLogo(int rules, int paths);

// A drawing of `paths` small triangles, pretty-printed: each path, and each attribute, on a
// line of its own, indented in layers and groups.
QByteArray svgPrettyPrinted(int paths);

// A drawing that carries about `bytes` of its editor's private data: elements of the editor's
// own namespace, with the text it keeps to open the drawing again.
QByteArray svgWithEditorData(int bytes);

// Text in a font embedded in the style sheet (about `bytes` of it in a data address), which
// Qt's renderer does not read: the text is drawn in a font of the machine's.
QByteArray svgWithEmbeddedFont(int bytes);

// A chart of `count` labels mixing Latin with Greek, arrows, Han and emoji.
QByteArray svgOfMixedScriptLabels(int count);

// A chart of `count` labels in Japanese: Han, hiragana and katakana, with numbers.
QByteArray svgOfJapaneseLabels(int count);

// A flame graph of `frames` frames, each a rectangle with the function's name and a title of
// its samples, under a style sheet and a script.
QByteArray svgOfFlameGraph(int frames);

// A blue rectangle and a green one, coloured by style rules after a comment, and around a
// string, that mention `@import`: no rules of the style sheet.
QByteArray svgMentioningImport();

// A green rectangle, its style given by an entity whose value names another entity.
QByteArray svgOfEntityNamingEntity();

} // namespace tolvaran::fixtures
