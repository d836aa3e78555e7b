// Times the costliest SVG pictures that the image decoder still draws, one of each kind of
// drawing whose cost the budget charges, and of each kind of work Qt's renderer does while it
// reads (gradient stops, text and its scripts, style rules, embedded pictures), beside the goal that the
// worst accepted picture draws in under a second. Each is found by search: the largest picture
// of its kind that is not refused as too complex. Then pictures of the reports that stalled
// quitting (20,000 translucent circles over the whole picture, a gradient of 190,000 stops,
// text of many scripts), refused, and how long a drawing takes to stop when it is abandoned.
#include "remote_image/RemoteImageDecoder.h"
#include "support/BenchFigures.h"
#include "support/markdown/TestImages.h"

#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <functional>
#include <limits>
#include <thread>

using namespace tolvaran::markdown;
using namespace tolvaran::fixtures;
using namespace tolvaran::fixtures::bench;

namespace {

using Maker = std::function<QByteArray(int amount)>;

QByteArray svg(int side, const QByteArray &content)
{
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" "
                          "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"%1\" "
                          "height=\"%1\">")
               .arg(side)
               .toUtf8()
           + content + "</svg>";
}

QByteArray repeated(int times, const QByteArray &element)
{
    QByteArray all;
    for (int i = 0; i < times; ++i)
        all += element;
    return all;
}

bool accepted(const QByteArray &bytes)
{
    return RemoteImageDecoder().decode(bytes).succeeded();
}

// The largest amount whose picture is still drawn (0 when none is).
int largestAccepted(const Maker &make)
{
    int low = 0;
    int high = 1;
    while (accepted(make(high))) {
        low = high;
        high *= 2;
    }
    while (high - low > 1) {
        const int middle = low + (high - low) / 2;
        (accepted(make(middle)) ? low : high) = middle;
    }
    return low;
}

void report(const char *name, const Maker &make)
{
    const int amount = largestAccepted(make);
    const QByteArray bytes = make(amount);
    const double time = median(3, [&] {
        return milliseconds([&] { RemoteImageDecoder().decode(bytes); });
    });
    std::printf("%-52s amount %6d: %7.1f ms (goal: under 1000 ms)\n", name, amount, time);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.svg*=false");
    QGuiApplication application(argc, argv);
    std::printf("Costliest SVG drawn, by kind (budget %lld pixel units)\n",
                static_cast<long long>(RemoteImageDecodeLimits::defaultDrawingBudget));

    report("translucent circles over 2048 x 2048",
           [](int n) { return svgOfCoveringCircles({2048, 2048}, n); });
    report("translucent circles over 64 x 64",
           [](int n) { return svgOfCoveringCircles({64, 64}, n); });
    report("radial gradient circles over 2048 x 2048", [](int n) {
        return svg(2048, "<defs><radialGradient id=\"g\" cx=\"0.5\" cy=\"0.5\" r=\"0.5\">"
                         "<stop offset=\"0\" stop-color=\"#f00\" stop-opacity=\"0.6\"/>"
                         "<stop offset=\"1\" stop-color=\"#00f\" stop-opacity=\"0.3\"/>"
                         "</radialGradient></defs>"
                             + repeated(n, "<circle cx=\"1024\" cy=\"1024\" r=\"1450\" "
                                           "fill=\"url(#g)\"/>"));
    });
    report("dashed circle over 1024 x 1024, pen width", [](int width) {
        return svg(1024, QStringLiteral("<circle cx=\"512\" cy=\"512\" r=\"400\" fill=\"none\" "
                                        "stroke=\"#c00\" stroke-opacity=\"0.5\" "
                                        "stroke-width=\"%1\" stroke-dasharray=\"2 2\"/>")
                             .arg(width)
                             .toUtf8());
    });
    report("thin dashed zigzag over 512 x 512, points", [](int points) {
        QByteArray list;
        for (int i = 0; i < points; ++i)
            list += QByteArray::number(i % 2 ? 512 : 0) + ',' + QByteArray::number(i % 512) + ' ';
        return svg(512, "<polyline points=\"" + list + "\" fill=\"none\" stroke=\"#000\" "
                                                       "stroke-dasharray=\"1 1\"/>");
    });
    report("glyphs 900 pixels high over 1024 x 1024", [](int glyphs) {
        return svg(1024, "<text x=\"0\" y=\"900\" font-size=\"900\" fill=\"#c00\" "
                         "fill-opacity=\"0.5\">"
                             + QByteArray(glyphs, 'W') + "</text>");
    });
    report("labels of ten characters over 1024 x 768", [](int labels) {
        QByteArray all;
        for (int i = 0; i < labels; ++i)
            all += "<text x=\"" + QByteArray::number((i * 97) % 950) + "\" y=\""
                   + QByteArray::number(20 + (i * 31) % 740) + "\" font-size=\"12\" fill=\"#333\">"
                   + "Label " + QByteArray::number(1000 + i % 9000) + "</text>";
        return svg(1024, all);
    });
    report("path of 20,000 segments over 100 x 100, uses", [](int uses) {
        QByteArray d = "M0,0";
        for (int i = 0; i < 20000; ++i)
            d += " L" + QByteArray::number(i % 100) + ',' + QByteArray::number((i * 7) % 100);
        return svg(100, "<defs><path id=\"p\" fill=\"#c00\" fill-opacity=\"0.5\" d=\"" + d
                            + "\"/></defs>" + repeated(uses, "<use xlink:href=\"#p\"/>"));
    });
    report("embedded picture stretched over 2048 x 2048", [](int n) {
        const QByteArray href = "data:image/png;base64," + pngImage({16, 16}).toBase64();
        return svg(2048, repeated(n, "<image x=\"0\" y=\"0\" width=\"2048\" height=\"2048\" "
                                     "opacity=\"0.5\" xlink:href=\""
                                         + href + "\"/>"));
    });

    report("gradient stops over 100 x 20", [](int n) { return svgOfGradientStops(n); });
    report("text of ten scripts in turn, characters",
           [](int n) { return svgOfTextInScripts(n, "text"); });
    report("textArea of ten scripts in turn, characters",
           [](int n) { return svgOfTextInScripts(n, "textArea"); });
    report("narrow textArea of one word, letters", [](int n) {
        return svg(400, "<textArea x=\"0\" y=\"0\" width=\"10\" height=\"auto\">"
                            + QByteArray(n, 'w') + "</textArea>");
    });
    report("labels of two scripts and a symbol", [](int n) {
        return svg(1024, repeated(n, "<text x=\"10\" y=\"20\" font-size=\"12\">"
                                     "Build \u0441\u0431\u043e\u0440\u043a\u0430 \u2713"
                                     "</text>"));
    });
    report("style rules for each of 1,000 rectangles", [](int rules) {
        return svg(100, "<style>" + repeated(rules, "* { fill: #c00 } ") + "</style>"
                            + repeated(1000, "<rect width=\"2\" height=\"2\"/>"));
    });
    report("embedded ASCII PBM of 1 x 1, kilobytes of comment", [](int kilobytes) {
        // A comment line is read and passed over a character at a time.
        const QByteArray pbm = "P1\n#" + QByteArray(kilobytes * 1024, 'x') + "\n1 1\n0\n";
        return svg(10, "<image width=\"10\" height=\"10\" xlink:href=\"data:image/x-pbm;"
                       "base64,"
                           + pbm.toBase64() + "\"/>");
    });

    const RemoteImageDecoder decoder;
    const struct
    {
        const char *name;
        QByteArray bytes;
    } stalling[] = {
        {"20,000 circles over 4096 x 4096", svgOfCoveringCircles({4096, 4096}, 20000)},
        {"a gradient of 190,000 stops", svgOfGradientStops(190000)},
        {"text of 150,000 characters of ten scripts", svgOfTextInScripts(150000, "text")},
        {"textArea of 250,000 characters of ten scripts",
         svgOfTextInScripts(250000, "textArea")},
    };
    for (const auto &picture : stalling) {
        RemoteImageErrorKind refusal = RemoteImageErrorKind::transferFailed;
        const double refusedIn = milliseconds([&] {
            const RemoteImageResult result = decoder.decode(picture.bytes);
            if (!result.succeeded())
                refusal = result.error().kind();
        });
        std::printf("%s (%.1f MB): %s in %.1f ms\n", picture.name,
                    double(picture.bytes.size()) / 1e6,
                    refusal == RemoteImageErrorKind::imageTooComplex ? "refused" : "NOT refused",
                    refusedIn);
    }

    RemoteImageDecodeLimits unbounded;
    unbounded.drawingBudget = std::numeric_limits<qint64>::max();
    std::stop_source stop;
    std::thread drawing([&] {
        RemoteImageDecoder(unbounded).decode(svgOfCoveringCircles({2048, 2048}, 20000),
                                             stop.get_token());
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double stopped = milliseconds([&] {
        stop.request_stop();
        drawing.join();
    });
    std::printf("A drawing of about a minute, abandoned: stops in %.1f ms (goal: under 1000 ms)\n",
                stopped);
    return 0;
}
