// The Markdown Files tab choosing a 1 MB Markdown file: from the click on its row to the first
// painted screen of its preview (the read off the GUI thread, the parse, the first screen's
// layout and its painting), printed beside the Markdown library's own parse plus HTML
// rendering of the same file. The pane is 1280 pixels wide, as a large window shows it.
#include "detail/sections/MarkdownFileBrowser.h"
#include "helpers/ReferenceMarkdownRender.h"
#include "markdown_view/MarkdownView.h"
#include "support/BuiltPrograms.h"
#include "support/markdown/MarkdownCorpus.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cmark-gfm-core-extensions.h>

#include <algorithm>
#include <vector>

namespace {

using namespace tolvaran;

constexpr qsizetype documentLength = 1000 * 1000;
constexpr int paneWidth = 1280;
constexpr int paneHeight = 800;
constexpr int rounds = 7;
// A round that takes longer than this is reported as failed rather than waited for.
constexpr int roundTimeoutMilliseconds = 60'000;

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Chooses `path` in the browser and returns the milliseconds until its preview's first screen
// has been painted; negative when it did not come.
double timeToFirstPaint(MarkdownFileBrowser &browser, const QString &path)
{
    markdown::MarkdownView *view = browser.previewView();
    if (browser.effectiveSelectedPath() == path && !browser.isLoadingPreview())
        return 0; // shown already: choosing it again reads nothing
    QEventLoop loop;
    double painted = -1;
    QElapsedTimer timer;
    const QMetaObject::Connection shown =
        QObject::connect(view, &markdown::MarkdownView::contentShown, &loop, [&] {
            if (browser.isLoadingPreview() || !browser.effectiveSelectedPath()
                || *browser.effectiveSelectedPath() != path)
                return;
            view->viewport()->repaint();
            painted = double(timer.nsecsElapsed()) / 1e6;
            loop.quit();
        });
    QTimer::singleShot(roundTimeoutMilliseconds, &loop, &QEventLoop::quit);
    timer.start();
    browser.setSelectedPath(path);
    loop.exec();
    QObject::disconnect(shown);
    return painted;
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

    QTemporaryDir folder;
    const QByteArray large = fixtures::markdown::generatedDocument(documentLength).toUtf8();
    const QString largePath = folder.filePath(QStringLiteral("large.md"));
    const QString smallPath = folder.filePath(QStringLiteral("README.md"));
    if (!folder.isValid() || !writeFile(largePath, large)
        || !writeFile(smallPath, "# Small\n\nA short file to come back to.\n")) {
        out << "could not write the files\n";
        return 1;
    }

    MarkdownFileBrowser browser;
    browser.resize(paneWidth, paneHeight);
    browser.setFiles(QList<ProjectMarkdownFile>{{smallPath, QStringLiteral("README.md")},
                                                {largePath, QStringLiteral("large.md")}},
                     false);
    browser.show();
    std::vector<double> samples;
    std::vector<double> references;
    for (int round = 0; round < rounds; ++round) {
        // Back to the small file each time, so that every round reads, parses and lays out
        // the large one afresh.
        timeToFirstPaint(browser, smallPath);
        const double painted = timeToFirstPaint(browser, largePath);
        if (painted < 0) {
            out << "the preview did not show\n";
            return 1;
        }
        samples.push_back(painted);
        references.push_back(fixtures::bench::referenceParseAndRender(large).milliseconds);
    }

    const double reference = median(references);
    const double preview = median(samples);
    out << QStringLiteral("Markdown Files tab, a generated file of %1 bytes, %2 x %3 px, "
                          "median of %4 rounds\n")
               .arg(large.size())
               .arg(paneWidth)
               .arg(paneHeight)
               .arg(rounds);
    out << QStringLiteral("  library: parse + HTML                       %1 ms\n")
               .arg(reference, 9, 'f', 1);
    out << QStringLiteral("  tab: choice to first painted preview screen %1 ms   %2 x the "
                          "library\n")
               .arg(preview, 9, 'f', 1)
               .arg(preview / reference, 0, 'f', 2);
    return 0;
}
