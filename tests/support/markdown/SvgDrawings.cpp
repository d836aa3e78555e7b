#include "support/markdown/SvgDrawings.h"

#include <QList>
#include <QString>

#include <algorithm>

namespace tolvaran::fixtures {

namespace {

QByteArray number(double value)
{
    return QByteArray::number(value, 'f', 1);
}

// A colour of its own for each `index`, spread over the colours.
QByteArray colour(int index)
{
    const quint32 rgb = (quint32(index) * 2654435761u) & 0xffffff;
    return '#' + QByteArray::number(rgb | 0x1000000, 16).mid(1);
}

// `bytes` of base64, as editors keep binary data in text: the same every run.
QByteArray base64Payload(int bytes)
{
    QByteArray binary;
    quint32 state = 20261209;
    while (binary.size() < bytes * 3 / 4) {
        state = state * 1664525u + 1013904223u;
        binary += char(state >> 24);
    }
    return binary.toBase64();
}

QByteArray svgStart(int width, int height)
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" "
           "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\""
           + QByteArray::number(width) + "\" height=\"" + QByteArray::number(height)
           + "\" viewBox=\"0 0 " + QByteArray::number(width) + ' ' + QByteArray::number(height)
           + "\">\n";
}

// `count` labels over a chart of `width` by `height`, their text taken in turn from `labels`.
QByteArray chartOfLabels(int count, int width, int height, const QList<QString> &labels)
{
    QByteArray svg = svgStart(width, height) + "<rect width=\"" + QByteArray::number(width)
                     + "\" height=\"" + QByteArray::number(height) + "\" fill=\"#fff\"/>\n"
                     + "<path d=\"M40 " + QByteArray::number(height - 30) + "H"
                     + QByteArray::number(width - 10) + "M40 10V"
                     + QByteArray::number(height - 30) + "\" stroke=\"#444\" fill=\"none\"/>\n"
                     + "<g font-family=\"sans-serif\" font-size=\"10\" fill=\"#333\">\n";
    const int columns = 30;
    const int rows = (count + columns - 1) / columns;
    for (int i = 0; i < count; ++i) {
        const double x = 44 + double(i % columns) * (width - 60) / columns;
        const double y = 20 + double(i / columns) * (height - 60) / std::max(rows, 1);
        svg += "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\">"
               + labels[i % labels.size()].toUtf8() + "</text>\n";
    }
    return svg + "</g>\n</svg>\n";
}

} // namespace

QByteArray svgOfClassRuleLogo(int rules, int paths)
{
    QByteArray svg = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                     "<!-- Exported from a drawing program, version 24.0 -->\n"
                     "<svg version=\"1.1\" id=\"Layer_1\" xmlns=\"http://www.w3.org/2000/svg\" "
                     "xmlns:xlink=\"http://www.w3.org/1999/xlink\" x=\"0px\" y=\"0px\" "
                     "viewBox=\"0 0 640 400\" style=\"enable-background:new 0 0 640 400;\" "
                     "xml:space=\"preserve\">\n<style type=\"text/css\">\n";
    for (int rule = 0; rule < rules; ++rule)
        svg += "\t.st" + QByteArray::number(rule) + "{fill:" + colour(rule)
               + ";stroke:" + colour(rule + 7) + ";stroke-width:0.25;stroke-miterlimit:10;}\n";
    svg += "</style>\n";
    const int columns = 90;
    for (int path = 0; path < paths; ++path) {
        const double x = 4 + (path % columns) * 7.0;
        const double y = 4 + (path / columns) * 9.5;
        svg += "<path class=\"st" + QByteArray::number((path * 7919) % rules) + "\" d=\"M"
               + number(x) + "," + number(y)
               + "c1.6-0.9,3.8-0.4,4.6,1.2s0.2,3.6-1.4,4.4s-3.9,0.1-4.6-1.5"
                 "s-0.5-3.2,1.4-4.1z\"/>\n";
    }
    return svg + "</svg>\n";
}

QByteArray svgPrettyPrinted(int paths)
{
    QByteArray svg = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                     "<svg\n    width=\"800\"\n    height=\"600\"\n    viewBox=\"0 0 800 600\"\n"
                     "    version=\"1.1\"\n    id=\"drawing\"\n"
                     "    xmlns=\"http://www.w3.org/2000/svg\">\n"
                     "    <g\n        id=\"layer1\">\n";
    const int perGroup = 100;
    const int columns = 160;
    for (int path = 0; path < paths; ++path) {
        if (path % perGroup == 0) {
            if (path > 0)
                svg += "        </g>\n";
            svg += "        <g\n            id=\"group" + QByteArray::number(path / perGroup)
                   + "\">\n";
        }
        const double x = 1 + (path % columns) * 5.0;
        const double y = 1 + (path / columns % 100) * 6.0;
        svg += "            <path\n                style=\"fill:" + colour(path / perGroup)
               + ";fill-opacity:1;stroke:#000000;stroke-width:0.2\"\n                d=\"m "
               + number(x) + "," + number(y) + " 4,4.5 -4,0 z\"\n                id=\"path"
               + QByteArray::number(path) + "\" />\n";
    }
    if (paths > 0)
        svg += "        </g>\n";
    return svg + "    </g>\n</svg>\n";
}

QByteArray svgWithEditorData(int bytes)
{
    QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" "
                     "xmlns:ed=\"urn:example:vector-editor\" width=\"400\" height=\"300\" "
                     "viewBox=\"0 0 400 300\">\n"
                     "  <ed:document ed:version=\"3.2\">\n    <ed:history>\n";
    const QByteArray payload = base64Payload(bytes);
    constexpr int step = 1024;
    for (int at = 0; at < payload.size(); at += step)
        svg += "      <ed:step ed:n=\"" + QByteArray::number(at / step) + "\">"
               + payload.mid(at, step) + "</ed:step>\n";
    return svg
           + "    </ed:history>\n  </ed:document>\n"
             "  <rect x=\"20\" y=\"20\" width=\"360\" height=\"260\" rx=\"12\" "
             "fill=\"#2d6cdf\"/>\n"
             "  <circle cx=\"200\" cy=\"150\" r=\"80\" fill=\"#ffd23f\"/>\n</svg>\n";
}

QByteArray svgWithEmbeddedFont(int bytes)
{
    return svgStart(480, 120)
           + "  <defs>\n    <style type=\"text/css\">\n"
             "      @font-face { font-family: \"Hand Drawn\"; "
             "src: url(data:font/woff2;base64,d09GMgABAAAA"
           + base64Payload(bytes)
           + ") format(\"woff2\"); }\n"
             "      .title { font-family: \"Hand Drawn\", sans-serif; font-size: 28px; "
             "fill: #1e1e1e; }\n    </style>\n  </defs>\n"
             "  <rect x=\"4\" y=\"4\" width=\"472\" height=\"112\" rx=\"10\" fill=\"#fff3bf\" "
             "stroke=\"#1e1e1e\" stroke-width=\"2\"/>\n"
             "  <text x=\"24\" y=\"72\" class=\"title\">Sketch of the flow</text>\n</svg>\n";
}

QByteArray svgOfMixedScriptLabels(int count)
{
    const QList<QString> labels = {
        QStringLiteral("α = 0.25 → β = 0.31"), QStringLiteral("Δt → 48 ms"),
        QStringLiteral("东京 → Tokyo"),        QStringLiteral("Release 2.1 🚀 ✓"),
        QStringLiteral("温度 (°C) ↑ 21.5"),     QStringLiteral("λ → μ ≈ 0.7"),
        QStringLiteral("📈 Growth → 12%"),     QStringLiteral("北京 ⇄ Berlin"),
        QStringLiteral("σ = 1.7 ± 0.2 ✓"),      QStringLiteral("上海 ✓ Shanghai"),
    };
    return chartOfLabels(count, 1200, 900, labels);
}

QByteArray svgOfJapaneseLabels(int count)
{
    const QList<QString> labels = {
        QStringLiteral("東京タワーの高さ"),     QStringLiteral("新しいファイルを作成"),
        QStringLiteral("設定を保存しました"),   QStringLiteral("ユーザー名とパスワード"),
        QStringLiteral("ログイン画面へ戻る"),   QStringLiteral("今月の売上 12%"),
        QStringLiteral("大阪の天気は晴れ"),     QStringLiteral("データを読み込み中"),
        QStringLiteral("エラーが発生しました"), QStringLiteral("次のページへ進む"),
    };
    return chartOfLabels(count, 1000, 700, labels);
}

QByteArray svgOfFlameGraph(int frames)
{
    const char *const functions[] = {
        "main",
        "app::server::run_event_loop(app::server::Options const&amp;)",
        "app::server::handle_request(app::net::Request const&amp;)",
        "app::json::parse_document(std::string_view)",
        "std::vector&lt;app::json::Value&gt;::push_back(app::json::Value&amp;&amp;)",
        "malloc",
        "__memmove_avx_unaligned_erms",
        "app::storage::compress_block(std::span&lt;std::byte const&gt;)",
        "app::crypto::hash_bytes(void const*, unsigned long)",
        "app::render::draw_frame(app::render::Scene const&amp;)",
        "read",
        "pthread_mutex_lock",
    };
    constexpr int depth = 24;
    constexpr double frameHeight = 16;
    const double height = depth * frameHeight + 60;
    QByteArray svg = "<?xml version=\"1.0\" standalone=\"no\"?>\n"
                     "<svg version=\"1.1\" width=\"1200\" height=\""
                     + number(height) + "\" onload=\"init(evt)\" viewBox=\"0 0 1200 "
                     + number(height)
                     + "\" xmlns=\"http://www.w3.org/2000/svg\" "
                       "xmlns:xlink=\"http://www.w3.org/1999/xlink\">\n"
                       "<defs>\n<linearGradient id=\"background\" y1=\"0\" y2=\"1\" x1=\"0\" "
                       "x2=\"0\">\n<stop stop-color=\"#eeeeee\" offset=\"5%\"/>\n"
                       "<stop stop-color=\"#eeeeb0\" offset=\"95%\"/>\n</linearGradient>\n"
                       "</defs>\n<style type=\"text/css\">\n"
                       "text { font-family: Verdana, sans-serif; font-size: 12px; fill: #000; }\n"
                       "#title { text-anchor: middle; font-size: 17px; }\n"
                       "#details { opacity: 0.8; }\n</style>\n"
                       "<script type=\"text/ecmascript\"><![CDATA[\nfunction init(evt) {\n"
                       "  details = document.getElementById(\"details\").firstChild;\n}\n"
                       "]]></script>\n"
                       "<rect x=\"0\" y=\"0\" width=\"1200\" height=\""
                     + number(height)
                     + "\" fill=\"url(#background)\"/>\n"
                       "<text id=\"title\" x=\"600\" y=\"24\">Flame Graph</text>\n"
                       "<text id=\"details\" x=\"10\" y=\""
                     + number(height - 17) + "\"> </text>\n<g id=\"frames\">\n";
    const int functionCount = int(std::size(functions));
    for (int i = 0; i < frames; ++i) {
        const QByteArray function = functions[(i * 5 + i / 7) % functionCount];
        const int level = i % depth;
        const double x = 10 + double((i * 131) % 1150);
        const double width = std::min(1.0 + double((i * 17) % 180), 1190 - x);
        const int samples = 1 + int(width * 13);
        const double y = height - 40 - (level + 1) * frameHeight;
        // A frame too narrow for its name shows as much of it as fits, or none.
        const int fits = int(width / 7) - 2;
        const QByteArray shown = fits >= int(function.size()) ? function
                                 : fits > 2 ? QByteArray(function.left(fits) + "..")
                                            : QByteArray();
        svg += "<g>\n<title>" + function + " (" + QByteArray::number(samples) + " samples, "
               + QByteArray::number(samples / 260.0, 'f', 2) + "%)</title><rect x=\""
               + number(x) + "\" y=\"" + number(y) + "\" width=\"" + number(width)
               + "\" height=\"15.0\" fill=\"rgb(" + QByteArray::number(200 + i % 55) + ","
               + QByteArray::number(60 + (i * 7) % 140) + ",30)\" rx=\"2\" ry=\"2\"/>\n"
               + "<text x=\"" + number(x + 3) + "\" y=\"" + number(y + 10.5) + "\">" + shown
               + "</text>\n</g>\n";
    }
    return svg + "</g>\n</svg>\n";
}

QByteArray svgMentioningImport()
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"20\"><style>\n"
           "/* The site's theme comes by @import in the full build, not here */\n"
           ".left { fill: #00f; }\n"
           ".right { font-family: \"@import\"; fill: #0a0; }\n"
           "</style><rect class=\"left\" width=\"20\" height=\"20\"/>"
           "<rect class=\"right\" x=\"20\" width=\"20\" height=\"20\"/></svg>";
}

QByteArray svgOfEntityNamingEntity()
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
           "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\" [\n"
           "\t<!ENTITY ns_svg \"http://www.w3.org/2000/svg\">\n"
           "\t<!ENTITY brand \"#0a6\">\n"
           "\t<!ENTITY st_brand \"fill:&brand;;stroke:none\">\n]>\n"
           "<svg xmlns=\"&ns_svg;\" width=\"40\" height=\"20\">"
           "<rect width=\"40\" height=\"20\" style=\"&st_brand;\"/></svg>";
}

} // namespace tolvaran::fixtures
