#pragma once

#include <QByteArray>
#include <QColor>
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

// An SVG of `size` holding `count` translucent circles that each cover the whole picture:
// a few dozen bytes a circle to send, and a full pass over every pixel a circle to draw.
QByteArray svgOfCoveringCircles(QSize size, int count);

// `bytes` as a gzip file (as .svgz files are).
QByteArray gzipped(const QByteArray &bytes);

} // namespace tolvaran::fixtures
