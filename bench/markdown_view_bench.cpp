// The Markdown view on a generated 1 MB GitHub-flavoured document (headings, tables, lists,
// task lists, code, quotes, every inline kind): parse plus first screen at 860 pixels, and
// parse plus layout of the whole document, printed beside the Markdown library's own parse
// plus HTML rendering and Qt's QTextDocument::setMarkdown plus layout of the same text;
// then the resident memory the laid-out document holds.
#include "helpers/ReferenceMarkdownRender.h"
#include "markdown/MarkdownParser.h"
#include "markdown_view/DocumentLayout.h"
#include "remote_image/RemoteImageLoader.h"
#include "markdown_view/MarkdownView.h"
#include "support/MarkdownCorpus.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTextDocument>
#include <QTextStream>

#include <cmark-gfm-core-extensions.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace {

using namespace tolvaran;

constexpr qsizetype documentLength = 1024 * 1024;
constexpr int width = 860;
constexpr int screenHeight = 900;
constexpr int rounds = 5;
constexpr int qtRounds = 2; // QTextDocument takes seconds a round

// `cleanUp` runs after each round, outside the timing.
double median(int count, const std::function<void()> &work,
              const std::function<void()> &cleanUp = [] {})
{
    std::vector<double> samples;
    for (int round = 0; round < count; ++round) {
        QElapsedTimer timer;
        timer.start();
        work();
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
        cleanUp();
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// Images are not fetched while measuring: their loads never finish and they take no room.
class NoImages final : public markdown::RemoteImageLoader
{
public:
    void image(const QUrl &, const QUrl &, QObject *, Completion) override {}
};

std::unique_ptr<markdown::DocumentLayout> layoutOf(const QString &text)
{
    static NoImages noImages;
    const QPalette palette = QApplication::palette();
    markdown::StyleContext context =
        markdown::MarkdownView::rootContext(markdown::Theme::basic(), {}, palette);
    context.remoteImageLoader = &noImages;
    auto layout =
        std::make_unique<markdown::DocumentLayout>(markdown::parseMarkdown(text), context);
    layout->setWidth(width);
    return layout;
}

qint64 residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

QString figure(double milliseconds)
{
    return QStringLiteral("%1 ms").arg(milliseconds, 9, 'f', 1);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    cmark_gfm_core_extensions_ensure_registered();
    QTextStream out(stdout);

    const QString text = fixtures::markdown::generatedDocument(documentLength);
    const QByteArray utf8 = text.toUtf8();
    out << QStringLiteral("Markdown view, generated document of %1 bytes, %2 px wide, "
                          "median of %3 rounds\n")
               .arg(utf8.size())
               .arg(width)
               .arg(rounds);

    // Memory first, before the timing rounds leave freed memory behind.
    const qint64 before = residentKilobytes();
    auto held = layoutOf(text);
    held->layoutAll();
    const qint64 after = residentKilobytes();
    const qsizetype blocks = held->blockCount();
    held.reset();

    const double reference =
        median(rounds, [&] { fixtures::bench::referenceParseAndRender(utf8); });
    const double parse = median(rounds, [&] { markdown::parseMarkdown(text); });
    // Each round's layout is freed after its timing: freeing is not part of the figure.
    std::unique_ptr<markdown::DocumentLayout> kept;
    const auto release = [&] { kept.reset(); };
    QImage screen(width, screenHeight, QImage::Format_ARGB32_Premultiplied);
    const double firstScreen = median(
        rounds,
        [&] {
            kept = layoutOf(text);
            kept->layoutThrough(screenHeight);
            screen.fill(Qt::white);
            QPainter painter(&screen);
            kept->paint(painter, QApplication::palette(), QRectF(0, 0, width, screenHeight));
        },
        release);
    const double whole = median(
        rounds,
        [&] {
            kept = layoutOf(text);
            kept->layoutAll();
        },
        release);
    // "--view-only" leaves Qt's figure out (for profiling the view).
    const bool viewOnly = application.arguments().contains(QStringLiteral("--view-only"));
    const double qt = viewOnly ? 0 : median(qtRounds, [&] {
        QTextDocument document;
        document.setTextWidth(width);
        document.setMarkdown(text);
        document.documentLayout()->documentSize();
    });

    out << QStringLiteral("  library: parse + HTML                 ") << figure(reference)
        << '\n';
    out << QStringLiteral("  view: parse into the node model       ") << figure(parse) << '\n';
    out << QStringLiteral("  view: parse + first screen (painted)  ") << figure(firstScreen)
        << QStringLiteral("   %1 x the library (goal: at most 3)\n")
               .arg(firstScreen / reference, 0, 'f', 2);
    out << QStringLiteral("  view: parse + whole layout            ") << figure(whole) << '\n';
    out << QStringLiteral("  QTextDocument: setMarkdown + layout   ") << figure(qt)
        << QStringLiteral("   %1 x the view's whole layout (goal: at least 10)\n")
               .arg(qt / whole, 0, 'f', 1);
    out << QStringLiteral("  resident memory: %1 MB in all, %2 MB for the laid-out document "
                          "(%3 blocks)\n")
               .arg(double(after) / 1024, 0, 'f', 1)
               .arg(double(after - before) / 1024, 0, 'f', 1)
               .arg(blocks);
    return 0;
}
