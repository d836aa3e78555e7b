#pragma once

#include <QByteArray>
#include <QSize>

namespace tolvaran::fixtures {

// Pictures of a few kilobytes to a few megabytes that cost Qt's readers and SVG renderer far more
// than their size says, made in the test. Each passes the checks made before Qt sees it, and its
// cost is in Qt's work or a library's, which nothing outside them sees or stops. The costs given
// are of one picture prepared and decoded by RemoteImageDecoder in the program's own process (Qt
// 6.4 and Debian 12's libraries, an 8-core desktop): where two are given, the first on a quiet
// machine, the second on one busy with other work, where Qt's SVG renderer takes up to twice as
// long. Smaller counts make cheap pictures of the same shape.

// An SVG of `gradients` linear gradients, each but the last naming the next with `xlink:href` (the
// last holds the stops), and a rectangle filled with the first: about 50 bytes a gradient, 5 MB at
// the sizes given. Qt's renderer follows the chain when it first draws the rectangle, one call
// deeper a link, searching at each link the list of those it passed: the work grows with the
// square of the chain (40,000 gradients 3.4 to 6 s of CPU, 60,000 8.6 to 19 s), and past about
// 65,000 links the calls overflow the 8 MiB stack of a thread, which ends the process (SIGSEGV)
// after half a minute of it.
inline constexpr int stackOverflowingGradients = 100'000;
inline constexpr int quadraticGradients = 40'000;
QByteArray svgOfGradientChain(int gradients = stackOverflowingGradients);

// An SVG whose one group of `groups` empty groups is drawn by `uses` use elements: 4 bytes a group
// and 22 a use, 520 KB at the sizes given. Qt's renderer draws each group of each use, groups
// times uses, and no step of it reaches the painter: 13 to 27 s of CPU, and then it is drawn.
inline constexpr int reusedGroups = 20'000;
inline constexpr int groupUses = 20'000;
QByteArray svgOfReusedGroup(int groups = reusedGroups, int uses = groupUses);

// An SVG of one style rule whose selector lists `selectors` descendant selectors (`x g`, under an
// element `x` the document has none of), over `depth` groups each in the one before: 19 KB at the
// sizes given. As it reads the document, Qt matches each selector against each group by walking up
// through every group above it, selectors times the square of the depth: minutes of CPU (a quarter
// of the selectors, 43 s).
inline constexpr int descendantSelectors = 1'000;
inline constexpr int nestedGroups = 2'000;
QByteArray svgOfDescendantSelectors(int selectors = descendantSelectors,
                                    int depth = nestedGroups);

// An SVG of `rules` class rules (`.c0` to `.c999`) and `elements` rectangles whose `class`
// attribute lists classes none of the rules names, `classBytes` bytes of them each (`k k k`). As
// it reads the document, Qt goes through the whole list for each rule and element: 1 MB at the
// sizes given, 4.5 to 7 s of CPU; 5 MB, 32 s; 10 MB, over a minute.
inline constexpr int classListElements = 10;
inline constexpr qsizetype classListBytes = 100 * 1024;
inline constexpr int classRules = 1'000;
QByteArray svgOfLongClassLists(int elements = classListElements,
                               qsizetype classBytes = classListBytes, int rules = classRules);

// An SVG whose one group declares `declarations` namespace prefixes, each its own: 3.5 MB at the
// sizes given. Qt's XML reader takes the square of their number to read that one element's start,
// once for our reading of the document, where no stop is seen meanwhile, and once for Qt's
// renderer: minutes of CPU (25,000 of them 4.3 s, 50,000 17 s).
inline constexpr int namespaceDeclarations = 200'000;
QByteArray svgOfNamespaceDeclarations(int declarations = namespaceDeclarations);

// A progressive JPEG of `size`, a grey checkerboard of single pixels, arithmetic-coded (or
// Huffman-coded where `arithmetic` is false), written with libjpeg: a scan of its blocks' first
// colours, one of the rest of their detail but for its lowest bit, then `refinements` scans of
// that bit that carry no data: 656 KB at the sizes given (its Huffman twin 1.6 MB). At the largest
// size allowed and 16 of them it keeps within the JPEG scan budget. The arithmetic decoder decodes
// the missing data as zeros, a bit for every coefficient of every block of every scan, and since
// the last coefficient of each block is already set, no scan ends early as damaged: 2.15 to 2.5 s
// of CPU, nearly all of it after the last read of the file, where no stop reaches it. The Huffman
// decoder skips the rest of a scan once its data ends: 0.2 s.
inline constexpr QSize refinedJpegSize{4096, 4096};
inline constexpr int emptyRefinements = 16;
QByteArray jpegOfEmptyRefinements(QSize size = refinedJpegSize,
                                  int refinements = emptyRefinements, bool arithmetic = true);

// A lossless WebP whose entropy image names `groups` groups of prefix codes, each a different one,
// and whose codes of each group have one symbol (no bits a pixel): 295 KB at the sizes given, of
// 1024 x 1024 transparent black pixels, written here bit by bit. libwebp sets aside and fills the
// lookup tables of every group's five codes in the one call that decodes the picture:
// 0.76 to 0.97 s of CPU and 390 MB resident.
inline constexpr int prefixCodeGroups = 65'536;
QByteArray webpOfPrefixCodeGroups(int groups = prefixCodeGroups);

} // namespace tolvaran::fixtures
