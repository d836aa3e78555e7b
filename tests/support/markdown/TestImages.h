#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

namespace tolvaran::fixtures {

// Image files made in the test, never copied from anywhere.

// A PNG of `size` filled with `colour`.
QByteArray pngImage(QSize size, QColor colour = Qt::red);

// A PNG of `size` with content as drawings and screenshots have it, at 8 or 16 `bitsPerChannel`:
// a gradient, lines and a few words naming `label`. It compresses as such pictures do (a few
// hundred kilobytes at 4096 by 4096), unlike a flat colour.
QByteArray pngOfDrawing(QSize size, int bitsPerChannel, const QString &label);

// The same drawing as a palette PNG (`format` Format_Indexed8) or a grey one
// (Format_Grayscale8), as screenshots and scans are often saved.
QByteArray pngOfDrawingAs(QSize size, QImage::Format format, const QString &label);

// The same drawing at 8 bits a channel as a JPEG of `quality` (0 to 100).
QByteArray jpegOfDrawing(QSize size, const QString &label, int quality = 90);

// A PNG of `size` whose pixels are noise drawn from `seed`: it compresses to nothing less than
// three bytes a pixel, and pictures of other seeds differ.
QByteArray pngOfNoise(QSize size, quint32 seed);

// An SVG of `size` (its width and height) with one filled rectangle and no text, so that it
// draws the same without any fonts.
QByteArray svgImage(QSize size, QColor colour = Qt::blue);

// A well-formed PNG of a few hundred bytes that declares `declared` pixels: the header and the
// start of the compressed rows of a black picture of that size. A decoder that trusts the
// header sets aside width × height × 4 bytes for it.
QByteArray pngDeclaringSize(QSize declared);

// PNG's colour types, as its header names them.
inline constexpr int pngGrey = 0;
inline constexpr int pngRgb = 2;
inline constexpr int pngPalette = 3;
inline constexpr int pngGreyAlpha = 4;
inline constexpr int pngRgba = 6;

// A PNG of `size` with `colourType` at `bitDepth` (as PNG allows them: 1, 2, 4 or 8 bits for
// a palette, 1 to 16 for grey, 8 or 16 otherwise), each sample taking every value it can,
// scattered; a palette's colours have their alpha in a tRNS chunk where `transparentColour`
// is set, and for grey and RGB one colour of the picture is named transparent there. Adam7
// interlaced where `interlaced`. Written here because Qt writes neither interlaced files nor
// depths of 2 and 4 bits.
QByteArray pngOfSamples(QSize size, int colourType, int bitDepth, bool transparentColour,
                        bool interlaced);

// A well-formed PNG that declares `size` at `bitsPerChannel` (8 or 16; red, green, blue and
// alpha) and whose image data inflates to `inflatedBytes` zero bytes: rows of black,
// transparent pixels, and past them whatever else there is. Fewer bytes than pngRowBytes
// make a picture whose data ends before its last row; more, a picture that goes on
// inflating past it, a gibibyte taking about a megabyte of file.
QByteArray pngWithImageData(QSize size, int bitsPerChannel, qint64 inflatedBytes);
// The bytes that the rows of such a picture inflate to: a filter byte and the pixels of each.
qint64 pngRowBytes(QSize size, int bitsPerChannel);
// A well-formed PNG of `size` at 8 bits a channel, its rows as pngWithImageData makes them,
// after compressed text chunks that inflate to `textBytes` in all: a megabyte of file a
// gibibyte.
QByteArray pngWithCompressedText(QSize size, qint64 textBytes);

// A chunk of a PNG file: its type, and where its data lies in the file and how long it is.
struct PngChunk
{
    QByteArray type;
    qsizetype dataOffset = 0;
    qsizetype length = 0;
};
// The chunks of `png` in order, as far as they lie wholly in it.
QList<PngChunk> pngChunks(const QByteArray &png);
// `png` with its image data rewritten as one chunk (as encoders write a small or medium
// picture), or as one chunk up to each offset into it of `splits` and one after the last.
QByteArray pngWithImageDataRechunked(const QByteArray &png, const QList<qsizetype> &splits = {});
// `png` with the data of its first chunk of `type` replaced by `data`, and its checksum made
// again.
QByteArray pngWithChunkData(const QByteArray &png, const QByteArray &type,
                            const QByteArray &data);

// An SVG of `size` holding `count` translucent circles that each cover the whole picture:
// a few dozen bytes a circle to send, and a full pass over every pixel a circle to draw.
QByteArray svgOfCoveringCircles(QSize size, int count);

// `bytes` as a gzip file (as .svgz files are).
QByteArray gzipped(const QByteArray &bytes);

// A picture of `size`, of the drawing above where `drawn` (else a flat colour), as Qt's writer
// for `format` writes it ("BMP", "PPM", "XPM", "ICO", ...); in black and white for PBM and XBM.
QByteArray qtWritten(QSize size, const char *format, bool drawn = true);

// A progressive JPEG of `size`, as Qt's writer writes it (10 scans, a flat colour), with one of
// its scans of the finest detail written again `repeats` times before its end: a few dozen
// bytes a scan, and a pass over the picture's blocks to decode each.
QByteArray progressiveJpeg(QSize size, int repeats = 0);

// A GIF of `size` in four colours, each pixel a code of its own (a clear code before the
// table would widen them), as some encoders write GIF files.
QByteArray gifImage(QSize size);
// A GIF of one frame of 1 x 1 pixels, `bytes` long, whose codes each name the longest string
// there is so far: strings of one pixel more each, until the table is full, then the longest
// of them again and again.
QByteArray gifOfLongestStrings(qsizetype bytes);
// A GIF of a logical screen of `screen` whose one frame is `frame`, its codes as above until
// they have written the frame's pixels (none for a frame of none): a frame of 4096 x 4096
// takes 9 KB.
QByteArray gifOfFrame(QSize screen, QRect frame);

// A GIF of `size` in four colours whose codes stay 3 bits wide as its table grows past them
// (a clear code first, none after), as some encoders write them: a reader that widens its
// codes as the table grows reads them as codes of other widths.
QByteArray gifOfUnwidenedCodes(QSize size);

// A JPEG of `size`, the drawing above, arithmetic-coded, progressive where `progressive`:
// written with libjpeg, as Qt's writer writes Huffman-coded files alone.
QByteArray arithmeticJpeg(QSize size, bool progressive);

// A WebP of `size`, the drawing above, lossless where `lossless`, as Qt's writer writes it;
// empty where Qt's WebP plug-in is not installed.
QByteArray webpImage(QSize size, bool lossless);
// An animated WebP of a canvas of `canvas` whose one frame is `frame`, lossless, at the
// canvas's top left corner; empty where Qt's WebP plug-in is not installed.
QByteArray webpAnimation(QSize canvas, QSize frame);
// The header of an extended WebP file alone, declaring a canvas of `canvas`: a few dozen bytes.
QByteArray webpDeclaringCanvas(QSize canvas);

// An icon file (ICO, or CUR where `cursor`) whose only picture is `picture`: a PNG file, or a
// bitmap as an icon holds it (an ICO file that Qt writes holds one).
QByteArray iconHolding(const QByteArray &picture, QSize size, bool cursor = false);

// An SVG of 10 x 10 pixels whose image elements name `pictures` in data addresses: each as
// `address` gives it ("data:image/png;base64," and the picture's base64 by default).
QByteArray svgEmbedding(const QList<QByteArray> &pictures,
                        const QByteArray &address = "data:image/png;base64,");

// An SVG of 10 x 10 pixels whose rectangle over the whole of it has no colour of its own
// (black), after an `xml-stylesheet` instruction naming the style sheet at `path`.
QByteArray svgWithStyleSheet(const QByteArray &path);

// An SVG of 100 x 20 pixels filled with a gradient of `stops` stops.
QByteArray svgOfGradientStops(int stops);

// An SVG of 400 x 300 pixels with one `element` ("text" or "textArea") of `characters`
// characters: words of ten scripts in turn.
QByteArray svgOfTextInScripts(qsizetype characters, const QByteArray &element);

// A status badge as badge services draw them: two coloured halves with a label each, and a
// logo that is an SVG of its own embedded in a data address.
QByteArray badgeWithSvgLogo();

} // namespace tolvaran::fixtures
