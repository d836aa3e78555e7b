// The Markdown view on a generated 1 MB GitHub-flavoured document (headings, tables, lists,
// task lists, code, quotes, every inline kind): parse plus first screen at 860 pixels, and
// parse plus layout of the whole document, printed beside the Markdown library's own parse
// plus HTML rendering and Qt's QTextDocument::setMarkdown plus layout of the same text; the
// first screen of a document that is one word of 1 MB (a minified line); then the resident
// memory the laid-out document holds in a shown view, beside what QTextDocument and the
// library hold for it. Each memory figure comes from a process of its own (this program run
// with --resident and the name of what it measures), so that none inherits another's heap.
#include "helpers/ReferenceMarkdownRender.h"
#include "markdown/MarkdownParser.h"
#include "markdown_view/DocumentLayout.h"
#include "markdown_view/MarkdownView.h"
#include "remote_image/RemoteImageLoader.h"
#include "support/BuiltPrograms.h"
#include "support/markdown/MarkdownCorpus.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTextDocument>
#include <QTextStream>

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <tuple>
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

NoImages noImages;

std::unique_ptr<markdown::DocumentLayout> layoutOf(const QString &text)
{
    const QPalette palette = QApplication::palette();
    markdown::StyleContext context =
        markdown::MarkdownView::rootContext(markdown::Theme::basic(), {}, palette);
    context.remoteImageLoader = &noImages;
    auto layout =
        std::make_unique<markdown::DocumentLayout>(markdown::parseMarkdown(text), context);
    layout->setWidth(width);
    return layout;
}

// The parse and the first screen, laid out and painted.
std::unique_ptr<markdown::DocumentLayout> firstScreenOf(const QString &text, QImage &screen)
{
    auto layout = layoutOf(text);
    layout->layoutThrough(screenHeight);
    screen.fill(Qt::white);
    QPainter painter(&screen);
    layout->paint(painter, QApplication::palette(), QRectF(0, 0, width, screenHeight));
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

// What the resident set grows by while `make` makes what is measured, which stays while the
// set is read.
template <typename Make>
qint64 residentGrowth(Make &&make)
{
    const qint64 before = residentKilobytes();
    [[maybe_unused]] const auto kept = make();
    return residentKilobytes() - before;
}

// The kilobytes `what` ("view", "qtextdocument" or "library") holds for `text`.
qint64 measureResident(const QString &what, const QString &text)
{
    if (what == QLatin1String("view")) {
        // As the detail pane shows a file (the GitHub theme, text selection), the whole
        // document laid out and its first screen painted; measured from the same view shown
        // empty.
        markdown::MarkdownView view;
        view.setRemoteImageLoader(&noImages);
        view.setTheme(markdown::Theme::gitHub());
        view.setTextSelectionEnabled(true);
        view.resize(width, screenHeight);
        view.show();
        QApplication::processEvents();
        return residentGrowth([&] {
            QEventLoop loop;
            QObject::connect(&view, &markdown::MarkdownView::layoutFinished, &loop,
                             &QEventLoop::quit);
            view.setMarkdown(text);
            loop.exec();
            view.viewport()->repaint();
            return view.documentLayout()->blockCount();
        });
    }
    if (what == QLatin1String("qtextdocument")) {
        return residentGrowth([&] {
            auto document = std::make_unique<QTextDocument>();
            document->setTextWidth(width);
            document->setMarkdown(text);
            document->documentLayout()->documentSize();
            return document;
        });
    }
    const QByteArray utf8 = text.toUtf8();
    return residentGrowth([&] {
        // The library's tree and its HTML, both kept.
        cmark_parser *parser = cmark_parser_new(CMARK_OPT_DEFAULT);
        for (const char *name : {"autolink", "strikethrough", "tagfilter", "tasklist", "table"})
            cmark_parser_attach_syntax_extension(parser, cmark_find_syntax_extension(name));
        cmark_parser_feed(parser, utf8.constData(), std::size_t(utf8.size()));
        cmark_node *document = cmark_parser_finish(parser);
        char *html = cmark_render_html(document, CMARK_OPT_DEFAULT,
                                       cmark_parser_get_syntax_extensions(parser));
        return std::tuple{parser, document, html};
    });
}

// The megabytes `what` holds for the document, measured by this program in a process of its
// own; negative when that failed.
double residentMegabytes(const QString &what)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--resident"), what});
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        return -1;
    return process.readAllStandardOutput().trimmed().toDouble() / 1024;
}

QString figure(double milliseconds)
{
    return QStringLiteral("%1 ms").arg(milliseconds, 9, 'f', 1);
}

QString megabytes(double value)
{
    return QStringLiteral("%1 MB").arg(value, 6, 'f', 1);
}

} // namespace

int main(int argc, char *argv[])
{
    tolvaran::fixtures::nameBuiltPictureDecoder();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    cmark_gfm_core_extensions_ensure_registered();
    QTextStream out(stdout);

    const QString text = fixtures::markdown::generatedDocument(documentLength);
    const QStringList arguments = application.arguments();
    if (const qsizetype resident = arguments.indexOf(QStringLiteral("--resident"));
        resident > 0) {
        out << measureResident(arguments.value(resident + 1), text) << '\n';
        return 0;
    }
    const QByteArray utf8 = text.toUtf8();
    out << QStringLiteral("Markdown view, generated document of %1 bytes, %2 px wide, "
                          "median of %3 rounds\n")
               .arg(utf8.size())
               .arg(width)
               .arg(rounds);

    const double reference =
        median(rounds, [&] { fixtures::bench::referenceParseAndRender(utf8); });
    const double parse = median(rounds, [&] { markdown::parseMarkdown(text); });
    // Each round's layout is freed after its timing: freeing is not part of the figure.
    std::unique_ptr<markdown::DocumentLayout> kept;
    const auto release = [&] { kept.reset(); };
    QImage screen(width, screenHeight, QImage::Format_ARGB32_Premultiplied);
    const double firstScreen =
        median(rounds, [&] { kept = firstScreenOf(text, screen); }, release);
    // A minified line: one word of 1 MB.
    const QString word(documentLength, QLatin1Char('a'));
    const double oneWord = median(rounds, [&] { kept = firstScreenOf(word, screen); }, release);
    const double whole = median(
        rounds,
        [&] {
            kept = layoutOf(text);
            kept->layoutAll();
        },
        release);
    // "--view-only" leaves Qt's figures out (for profiling the view).
    const bool viewOnly = arguments.contains(QStringLiteral("--view-only"));
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
    out << QStringLiteral("  view: one 1 MB word, first screen     ") << figure(oneWord)
        << QStringLiteral("   (goal: under 1000 ms)\n");
    out << QStringLiteral("  view: parse + whole layout            ") << figure(whole) << '\n';
    out << QStringLiteral("  QTextDocument: setMarkdown + layout   ") << figure(qt)
        << QStringLiteral("   %1 x the view's whole layout (goal: at least 10)\n")
               .arg(qt / whole, 0, 'f', 1);
    out << QStringLiteral("  resident set of the laid-out document, each in a process of its "
                          "own:\n");
    out << QStringLiteral("    view, shown in the GitHub theme     ")
        << megabytes(residentMegabytes(QStringLiteral("view")))
        << QStringLiteral("   (goal: under 50 MB)\n");
    if (!viewOnly) {
        out << QStringLiteral("    QTextDocument                       ")
            << megabytes(residentMegabytes(QStringLiteral("qtextdocument"))) << '\n';
        out << QStringLiteral("    library: tree + HTML                ")
            << megabytes(residentMegabytes(QStringLiteral("library"))) << '\n';
    }
    return 0;
}
