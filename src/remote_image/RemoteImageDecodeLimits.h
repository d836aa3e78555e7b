#pragma once

#include <QtGlobal>

#include <chrono>

namespace tolvaran::markdown {

// What decoding one image may cost.
struct RemoteImageDecodeLimits
{
    // The most pixels an image may have (4096 by 4096). A file of a few hundred bytes can
    // declare a picture of billions of pixels; such a picture is refused before any memory is
    // set aside for it.
    static constexpr qint64 defaultMaximumPixels = qint64(4096) * 4096;
    // What drawing an SVG may cost, in drawing elements times the pixels each may cover (see
    // DrawingCost): enough for the pictures of READMEs, diagrams and charts included, and set
    // so that the costliest picture within it draws in well under a second on an ordinary
    // desktop (bench/svg_decode_bench).
    static constexpr qint64 defaultDrawingBudget = qint64(200) * 1000 * 1000;
    // What a unit of the drawing budget takes to draw here (bench/svg_decode_bench): 4.5 to
    // 5.7 ns for dashes, the costliest drawing a unit (about a second for the budget), 2.9 to
    // 3.5 ns for glyphs, 0.7 to 1.4 ns for large fills. The reading's weights (SvgReadingWork)
    // are times made units at this rate.
    static constexpr double nanosecondsPerUnit = 5;
    // The CPU time that a decoding process gives one picture, its checks included, before it
    // ends it (PictureDecoderPool). The costliest sound pictures measured take up to 0.8 s
    // (bench/picture_decoding_bench --largest, svg_decode_bench): of 4096 x 4096, a PNG at 16
    // bits a channel 0.79 s, a GIF 0.61 s, the largest SVG drawings within the drawing budget
    // 0.4 to 0.65 s, a progressive JPEG 0.3 s; two and a half times that leaves room for a
    // slower machine.
    static constexpr std::chrono::milliseconds cpuTimePerPicture{2000};
    // What Qt's SVG renderer may be charged for reading a document before it is refused: the
    // picture's CPU time. The charges are lower bounds of Qt's work (SvgReadingWork), so only
    // a picture that would be stopped anyway is refused for them, before Qt reads any of it.
    static constexpr qint64 defaultReadingBudget = qint64(
        double(std::chrono::nanoseconds(cpuTimePerPicture).count()) / nanosecondsPerUnit);
    // What decoding the scans of JPEG files may cost, in scans times the pixels each goes
    // over (JpegScans): 20 scans of the largest picture allowed, where a sound progressive
    // file has 10 (18 in CMYK). Measured with Debian's libjpeg-turbo 2.1 on an ordinary
    // desktop: the costliest scans, refinements of the whole band of a picture's brightness
    // that carry no data, take 1.5 ns a pixel, so ten of them more than a sound file has
    // take 0.25 s at 4096 x 4096; the costliest file within the budget, the largest picture
    // with 14 MB of coded data (noise, which takes 0.8 s at any number of scans) and such
    // scans to make up the rest, decodes in about a second. A file of half a million scans of
    // a few bytes each took minutes.
    static constexpr qint64 defaultScanBudget = qint64(20) * defaultMaximumPixels;

    qint64 maximumPixels = defaultMaximumPixels;
    qint64 drawingBudget = defaultDrawingBudget;
    qint64 readingBudget = defaultReadingBudget;
    qint64 scanBudget = defaultScanBudget;

    friend bool operator==(const RemoteImageDecodeLimits &,
                           const RemoteImageDecodeLimits &) = default;
};

} // namespace tolvaran::markdown
