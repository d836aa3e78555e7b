// Parsing plus HTML rendering of a generated 1 MB Markdown document through the Markdown
// library (parse into the node model, build the library's tree back, render), printed beside
// the library's own parse and render of the same text with the same options and extensions.
// The hostile inputs of the tests (1 MB of nesting each) are timed the same way.
#include "helpers/ReferenceMarkdownRender.h"
#include "markdown/MarkdownParser.h"
#include "support/markdown/MarkdownCorpus.h"

#include <QElapsedTimer>
#include <QTextStream>

#include <cmark-gfm-core-extensions.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

using namespace tolvaran;

constexpr qsizetype documentLength = 1024 * 1024;
constexpr int rounds = 5;

struct Timing
{
    double median = 0.0;
    double best = 0.0;
};

Timing measure(const std::function<void()> &work)
{
    std::vector<double> milliseconds;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        work();
        milliseconds.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    return {milliseconds[milliseconds.size() / 2], milliseconds.front()};
}

QString figure(const Timing &timing)
{
    return QStringLiteral("%1 ms (best %2)")
        .arg(timing.median, 8, 'f', 1)
        .arg(timing.best, 7, 'f', 1);
}

void compare(QTextStream &out, const QString &name, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QList<markdown::BlockNode> blocks;
    const Timing parse = measure([&] { blocks = markdown::parseMarkdown(text); });
    const Timing render = measure([&] { markdown::renderHTML(blocks); });
    const Timing both = measure([&] { markdown::renderHTML(markdown::parseMarkdown(text)); });
    const Timing reference = measure([&] { fixtures::bench::referenceParseAndRender(utf8); });
    out << name << QStringLiteral(" (%1 bytes)\n").arg(utf8.size());
    out << QStringLiteral("  model: parse             ") << figure(parse) << '\n';
    out << QStringLiteral("  model: render HTML       ") << figure(render) << '\n';
    out << QStringLiteral("  model: parse + render    ") << figure(both) << '\n';
    out << QStringLiteral("  library: parse + render  ") << figure(reference)
        << QStringLiteral("   ratio %1\n").arg(both.median / reference.median, 0, 'f', 2);
}

} // namespace

int main()
{
    cmark_gfm_core_extensions_ensure_registered();
    QTextStream out(stdout);
    out << QStringLiteral("Markdown parse + HTML render, median of %1 rounds\n").arg(rounds);
    namespace corpus = fixtures::markdown;
    compare(out, QStringLiteral("generated document"), corpus::generatedDocument(documentLength));
    compare(out, QStringLiteral("nested quotes"), corpus::nestedQuotes(documentLength));
    compare(out, QStringLiteral("nested lists"), corpus::nestedLists(documentLength));
    compare(out, QStringLiteral("nested brackets"), corpus::nestedBrackets(documentLength));
    compare(out, QStringLiteral("nested emphasis"), corpus::nestedEmphasis(documentLength));
    compare(out, QStringLiteral("nested images"), corpus::nestedImages(documentLength));
    return 0;
}
