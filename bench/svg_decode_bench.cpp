// Figures of the SVG decoder's two budgets, each beside its reference. The drawing: the
// costliest picture of each kind of drawing still drawn, found by search, and what a unit of
// the budget took (RemoteImageDecodeLimits::nanosecondsPerUnit is the costliest). The reading:
// what Qt's renderer does an item at a time as it reads a document and lays out its text,
// Qt's own CPU time with nothing painted (the least of five runs), beside what SvgReadingWork
// charges for it, which is to be no more: the charges are a lower bound of Qt's work. Then the
// hostile pictures of earlier reports (20,000 translucent circles over the whole picture, a
// gradient of 190,000 stops, text of many scripts, many rules for every element), refused
// before Qt reads them, beside the least that Qt's reading of them would take, and how long a
// drawing takes to stop when it is abandoned.
#include "remote_image/RemoteImageDecoder.h"
#include "remote_image/svg/SvgReadingWork.h"
#include "remote_image/svg/SvgSource.h"
#include "remote_image/svg/DrawingCost.h"
#include "support/BenchFigures.h"
#include "support/markdown/SvgDrawings.h"
#include "support/markdown/TestImages.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <chrono>
#include <cstdio>
#include <ctime>
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

// The costliest picture still drawn costs about the whole budget: its time over the budget is
// what a unit of it takes.
void report(const char *name, const Maker &make)
{
    const int amount = largestAccepted(make);
    const QByteArray bytes = make(amount);
    const double time = median(3, [&] {
        return milliseconds([&] { RemoteImageDecoder().decode(bytes); });
    });
    const double perUnit = time * 1e6 / double(RemoteImageDecodeLimits::defaultDrawingBudget);
    std::printf("%-46s amount %6d: %7.1f ms (goal: under 1000 ms), %.2f ns a unit (at most "
                "%.0f)\n",
                name, amount, time, perUnit, RemoteImageDecodeLimits::nanosecondsPerUnit);
}

double threadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// What Qt's renderer alone does with `text`: read it and draw it, painting nothing (the
// painting is charged to the drawing budget), in CPU time, the least of five runs.
double qtReadingMilliseconds(const QByteArray &text, int runs = 5)
{
    double least = std::numeric_limits<double>::infinity();
    for (int run = 0; run < runs; ++run) {
        const double start = threadCpuMilliseconds();
        QSvgRenderer renderer(text);
        QImage image(renderer.defaultSize(), QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        painter.setClipRect(QRect());
        renderer.render(&painter);
        painter.end();
        least = std::min(least, threadCpuMilliseconds() - start);
    }
    return least;
}

QByteArray drawing(const QByteArray &content)
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\""
           " width=\"800\" height=\"600\">"
           + content + "</svg>";
}

QByteArray labels(int count, const QString &label)
{
    QByteArray all;
    for (int i = 0; i < count; ++i)
        all += "<text x=\"" + QByteArray::number(i % 700) + "\" y=\""
               + QByteArray::number(20 + (i * 7) % 560) + "\" font-size=\"12\">"
               + label.toUtf8() + "</text>";
    return drawing(all);
}

QString alternating(const QString &one, const QString &other, int changes)
{
    QString text = one;
    for (int i = 0; i < changes; ++i)
        text += i % 2 == 0 ? other : one;
    return text;
}

// A style sheet of `count` rules made from `rule` (each `%` its number), over 1,000 `element`s.
Maker rulesOver(const QByteArray &rule, const QByteArray &element)
{
    return [=](int count) {
        QByteArray sheet;
        for (int i = 0; i < count; ++i)
            sheet += QByteArray(rule).replace('%', QByteArray::number(i));
        return drawing("<style>" + sheet + "</style>" + repeated(1000, element));
    };
}

QByteArray embeddedBmp(int side)
{
    return drawing("<image width=\"10\" height=\"10\" xlink:href=\"data:image/bmp;base64,"
                   + qtWritten({side, side}, "BMP", false).toBase64() + "\"/>");
}

// The work of one item: what Qt took between `from` and `to` amounts over the items between,
// beside the nanoseconds charged for one.
void weigh(const char *name, const Maker &make, int from, int to,
           const std::function<double(int)> &items, double chargedUnits)
{
    const double measured = (qtReadingMilliseconds(make(to)) - qtReadingMilliseconds(make(from)))
                            * 1e6 / (items(to) - items(from));
    const double charged = chargedUnits * RemoteImageDecodeLimits::nanosecondsPerUnit;
    std::printf("%-46s %10.1f ns measured, %9.1f charged%s\n", name, measured, charged,
                charged > measured ? " (MORE THAN MEASURED)" : "");
}

void weigh(const char *name, const Maker &make, int from, int to, double chargedUnits)
{
    weigh(name, make, from, to, [](int amount) { return double(amount); }, chargedUnits);
}

void weighReading()
{
    using Work = SvgReadingWork;
    std::printf("\nQt's reading, an item at a time, beside its charge (budget %lld units, "
                "%.1f s)\n",
                static_cast<long long>(RemoteImageDecodeLimits::defaultReadingBudget),
                std::chrono::duration<double>(RemoteImageDecodeLimits::cpuTimePerPicture).count());
    weigh("element passed over",
          [](int n) { return drawing(repeated(n, "<x:e/>")); }, 1000, 41000,
          Work::elementWeight);
    weigh("empty group", [](int n) { return drawing(repeated(n, "<g/>")); }, 1000, 41000,
          Work::elementWeight);
    const double letterLayout =
        Work::elementWeight + Work::textLayoutWeight + Work::characterWeight;
    weigh("text of one letter", [](int n) { return labels(n, QStringLiteral("L")); }, 200, 2200,
          letterLayout);
    weigh("tspan of one letter",
          [](int n) {
              return drawing("<text x=\"0\" y=\"20\">" + repeated(n, "<tspan>a</tspan>")
                             + "</text>");
          },
          100, 2100, letterLayout);
    const struct
    {
        const char *name;
        char16_t letter;
    } letters[] = {{"letter, latin", u'a'}, {"letter, greek", u'\u03b1'},
                   {"letter, han", u'\u4e2d'}, {"letter, hiragana", u'\u306e'}};
    for (const auto &letter : letters) {
        weigh(letter.name,
              [&](int n) { return labels(1000, QString(n, QChar(letter.letter))); }, 5, 85,
              [](int n) { return 1000.0 * n; }, Work::characterWeight);
    }
    weigh("letter of one line of 40,000, latin",
          [](int n) { return labels(1, QString(n, u'a')); }, 1000, 41000, Work::characterWeight);
    const struct
    {
        const char *name;
        const char16_t *one;
        const char16_t *other;
        double charged;
    } changes[] = {
        {"change latin / greek", u"ab", u"\u03b1\u03b2", Work::scriptChangeWeight},
        {"change latin / cyrillic", u"ab", u"\u0441\u0431", Work::scriptChangeWeight},
        {"change latin / hebrew", u"ab", u"\u05e9\u05dc", Work::scriptChangeWeight},
        {"change latin / han", u"ab", u"\u4e2d\u6587", Work::scriptChangeWeight},
        {"change hiragana / han", u"\u306e", u"\u4e2d", Work::scriptChangeWeight},
        {"change katakana / hiragana", u"\u30ab", u"\u306e", Work::scriptChangeWeight},
        {"change latin / arrow", u"ab", u"\u2192", Work::symbolChangeWeight},
        {"change latin / check mark", u"ab", u"\u2713", Work::symbolChangeWeight},
        {"change latin / emoji", u"ab", u"\U0001F600", Work::symbolChangeWeight},
        {"change han / full width", u"\u4e2d", u"\uff08", Work::symbolChangeWeight},
    };
    for (const auto &change : changes) {
        const QString one = QString::fromUtf16(change.one);
        const QString other = QString::fromUtf16(change.other);
        weigh(change.name, [&](int n) { return labels(1000, alternating(one, other, n)); }, 0,
              24, [](int n) { return 1000.0 * n; }, change.charged);
    }
    weigh("stop passed", [](int n) { return svgOfGradientStops(n); }, 10000, 30000,
          [](int n) { return double(n) * (n - 1) / 2; }, Work::stopPassedWeight);
    const QByteArray rect = "<rect width=\"1\" height=\"1\"/>";
    const auto perRuleAndElement = [](int n) { return 1000.0 * n; };
    weigh("class rule, rectangle without a class", rulesOver(".c% { fill: #f00 } ", rect), 0,
          1000, perRuleAndElement, Work::selectorTestWeight);
    weigh("class rule, group", rulesOver(".c% { fill: #f00 } ", "<g/>"), 0, 1000,
          perRuleAndElement, Work::selectorTestWeight);
    weigh("attribute rule, rectangle", rulesOver("[x%] { fill: #f00 } ", rect), 0, 1000,
          perRuleAndElement, Work::selectorTestWeight);
    weigh("rule for every element, rectangle", rulesOver("* { fill: #f00 } ", rect), 0, 1000,
          perRuleAndElement, Work::universalMatchWeight);
    weigh("rule for every element, group", rulesOver("* { fill: #f00 } ", "<g/>"), 0, 1000,
          perRuleAndElement, Work::universalMatchWeight);
    weigh("rule read, class with a colour", rulesOver(".c% { fill: #f00 } ", {}), 0, 10000,
          Work::styleRuleWeight);
    weigh("rule read, empty", rulesOver("a% {} ", {}), 0, 10000, Work::styleRuleWeight);
    weigh("rule read, empty font face", rulesOver("@font-face {} ", {}), 0, 10000,
          Work::styleRuleWeight);
    weigh("embedded byte, bmp", [](int side) { return embeddedBmp(side); }, 16, 1024,
          [](int side) { return double(qtWritten({side, side}, "BMP", false).size()); },
          Work::embeddedByteWeight);
}

// The least Qt's reading of `bytes` may take, by the charges, in milliseconds.
double chargedMilliseconds(const QByteArray &bytes)
{
    RemoteImageDecodeLimits unbounded;
    unbounded.readingBudget = std::numeric_limits<qint64>::max();
    const auto read = SvgSource::read(bytes, unbounded);
    if (!std::holds_alternative<SvgSource>(read))
        return 0;
    return double(DrawingCost::ofReading(std::get<SvgSource>(read).work))
           * RemoteImageDecodeLimits::nanosecondsPerUnit / 1e6;
}

// Drawings of the kinds that the charges once refused: what they charge is to be no more
// than Qt's reading of them takes.
void weighDrawings()
{
    const struct
    {
        const char *name;
        QByteArray bytes;
    } drawings[] = {
        {"logo of 1,989 class rules over 3,695 paths", svgOfClassRuleLogo(1989, 3695)},
        {"pretty-printed drawing of 16,000 paths", svgPrettyPrinted(16000)},
        {"drawing with 300 KB of its editor's data", svgWithEditorData(300000)},
        {"text in a font embedded in the style sheet", svgWithEmbeddedFont(300000)},
        {"chart of 1,500 labels of several scripts", svgOfMixedScriptLabels(1500)},
        {"chart of 1,000 Japanese labels", svgOfJapaneseLabels(1000)},
        {"flame graph of 2,000 frames with a title each", svgOfFlameGraph(2000)},
    };
    std::printf("\nSound drawings: the reading charged beside Qt's (to be no more)\n");
    for (const auto &drawing : drawings) {
        const double charged = chargedMilliseconds(drawing.bytes);
        const double measured = qtReadingMilliseconds(drawing.bytes);
        const double decoded = median(3, [&] {
            return milliseconds([&] { RemoteImageDecoder().decode(drawing.bytes); });
        });
        std::printf("%-46s %7.1f ms charged, %7.1f ms Qt's reading, %7.1f ms decoded%s\n",
                    drawing.name, charged, measured, decoded,
                    charged > measured ? " (MORE THAN MEASURED)" : "");
    }
}

void refuseHostile()
{
    const RemoteImageDecoder decoder;
    const struct
    {
        const char *name;
        QByteArray bytes;
        // Whether Qt's own reading of it is timed too (a few seconds).
        bool timed;
    } stalling[] = {
        {"20,000 circles over 4096 x 4096", svgOfCoveringCircles({4096, 4096}, 20000), false},
        {"a gradient of 190,000 stops", svgOfGradientStops(190000), false},
        {"text of 150,000 characters of ten scripts", svgOfTextInScripts(150000, "text"), true},
        {"textArea of 250,000 characters of ten scripts",
         svgOfTextInScripts(250000, "textArea"), true},
        {"text of a million characters of ten scripts", svgOfTextInScripts(1000000, "text"),
         false},
        {"textArea of a million characters of ten scripts",
         svgOfTextInScripts(1000000, "textArea"), false},
        {"10,000 rules for every one of 1,000 elements",
         svg(10, "<style>" + repeated(10000, "* { fill: #f00 } ") + "</style>"
                     + repeated(1000, "<rect width=\"2\" height=\"2\"/>")),
         false},
    };
    std::printf("\nHostile pictures (goal: refused in under 800 ms)\n");
    for (const auto &picture : stalling) {
        RemoteImageErrorKind refusal = RemoteImageErrorKind::transferFailed;
        const double refusedIn = milliseconds([&] {
            const RemoteImageResult result = decoder.decode(picture.bytes);
            if (!result.succeeded())
                refusal = result.error().kind();
        });
        const double charged = chargedMilliseconds(picture.bytes);
        std::printf("%s (%.1f MB): %s in %.1f ms; Qt's reading takes at least %.0f ms",
                    picture.name, double(picture.bytes.size()) / 1e6,
                    refusal == RemoteImageErrorKind::imageTooComplex ? "refused" : "NOT refused",
                    refusedIn, charged);
        if (picture.timed)
            std::printf(", took %.0f ms", qtReadingMilliseconds(picture.bytes, 1));
        std::printf("\n");
    }
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

    weighReading();
    weighDrawings();
    refuseHostile();

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
    std::printf("\nA drawing of about a minute, abandoned: stops in %.1f ms (goal: under 1000 "
                "ms)\n",
                stopped);
    return 0;
}
