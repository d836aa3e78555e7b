#include "helpers/ResizeSweep.h"

#include "helpers/ImagesBenchView.h"
#include "markdown_view/MarkdownView.h"
#include "markdown_view/items/RemoteImageItem.h"
#include "markdown_view/items/TextItem.h"
#include "support/markdown/TestImages.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include <algorithm>
#include <functional>

namespace tolvaran::fixtures::bench {

namespace {

// The pictures' sweep: its document, picture, widths (from the narrowest, a step apart) and
// the goal for pictures in lines of text beside block pictures.
constexpr int sweepParagraphs = 2000;
constexpr QSize sweepPictureSize{24, 24};
const QString sweepPictureName = QStringLiteral("small.png");
constexpr int sweepWidths = 40;
constexpr int sweepNarrowest = 480;
constexpr int sweepStep = 20;
constexpr double sweepGoal = 1.3;

double processorTime()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}


void countShown(const markdown::BlockItem &item, int &shown)
{
    if (dynamic_cast<const markdown::RemoteImageItem *>(&item) && !item.size().isEmpty())
        ++shown;
    if (const auto *text = dynamic_cast<const markdown::TextItem *>(&item)) {
        for (const markdown::AttributedText::Image &image : text->attributedText().images)
            shown += image.picture->size().isEmpty() ? 0 : 1;
    }
    for (const markdown::BlockItem::Child &child : item.children())
        countShown(*child.item, shown);
}

// The pictures of the view's document that have arrived and taken their room, once its
// layout is complete; -1 before.
int picturesShown(const markdown::MarkdownView &view)
{
    const markdown::DocumentLayout *layout = view.documentLayout();
    if (!layout || !layout->isComplete())
        return -1;
    int shown = 0;
    for (qsizetype index = 0; index < layout->laidOutCount(); ++index) {
        if (const markdown::BlockItem *item = layout->item(index))
            countShown(*item, shown);
    }
    return shown;
}

// The sweep's paragraphs, long enough to wrap at every width of the sweep, each with the
// picture in a line of its text, or, where `inLines` is false, standing alone below it.
QString sweepDocument(bool inLines)
{
    const QString words = QStringLiteral(
        "words that wrap at every width of the sweep, as the paragraphs of a long README do, "
        "naming a program, its options and what each of them changes, and ");
    QString markdown = QStringLiteral("# Pictures\n\n");
    for (int i = 0; i < sweepParagraphs; ++i) {
        const QString picture = QStringLiteral("![picture %1](%2)").arg(i).arg(sweepPictureName);
        const QString paragraph =
            inLines ? QStringLiteral("Paragraph %1 has %2 %3 among its %2 once more.\n\n")
                    : QStringLiteral("Paragraph %1 has %2 below its %2 once more.\n\n%3\n\n");
        markdown += paragraph.arg(i).arg(words, picture);
    }
    return markdown;
}

} // namespace

std::optional<ResizeSweep> ResizeSweep::measure(const QString &markdown, const QUrl &folder,
                                                int pictures, const QList<int> &widths,
                                                int height)
{
    markdown::MarkdownView view;
    view.setTheme(markdown::Theme::gitHub());
    view.resize(widths.value(0), height);
    view.show();
    view.setMarkdown(markdown, folder);
    if (!processUntil([&] { return picturesShown(view) == pictures; }))
        return std::nullopt;
    ResizeSweep sweep;
    const double start = processorTime();
    for (const int width : widths) {
        QElapsedTimer timer;
        timer.start();
        view.resize(width, height);
        if (!processUntil([&] { return view.documentLayout()->isComplete(); }))
            return std::nullopt;
        view.viewport()->repaint();
        sweep.longestMilliseconds =
            std::max(sweep.longestMilliseconds, double(timer.nsecsElapsed()) / 1e6);
    }
    sweep.processorSeconds = processorTime() - start;
    return sweep;
}

int measurePictureSweep(bool inLines, const QString &folderPath, int height)
{
    const QByteArray picture = pngImage(sweepPictureSize, Qt::darkCyan);
    QFile file(QDir(folderPath).filePath(sweepPictureName));
    if (!file.open(QIODevice::WriteOnly) || file.write(picture) != picture.size())
        return 1;
    file.close();
    QList<int> widths;
    for (int index = 0; index < sweepWidths; ++index)
        widths.append(sweepNarrowest + index * sweepStep);
    const std::optional<ResizeSweep> sweep =
        ResizeSweep::measure(sweepDocument(inLines), QUrl::fromLocalFile(folderPath + u'/'),
                             sweepParagraphs, widths, height);
    if (!sweep)
        return 1;
    QTextStream(stdout) << sweep->processorSeconds << ' ' << sweep->longestMilliseconds << '\n';
    return 0;
}

void printPictureSweep(QTextStream &out)
{
    out << QStringLiteral("%1 paragraphs, each with a %2 x %3 picture, resized through %4 widths "
                          "from %5 px, processor time and costliest width   (goal: in lines "
                          "within %6 times as blocks; before: 2.6 to 3.0 times, the costliest "
                          "width 840 to 890 ms):\n")
               .arg(sweepParagraphs)
               .arg(sweepPictureSize.width())
               .arg(sweepPictureSize.height())
               .arg(sweepWidths)
               .arg(sweepNarrowest)
               .arg(sweepGoal, 0, 'f', 1);
    QList<double> figures[2];
    for (const bool inLines : {true, false}) {
        QTemporaryDir folder;
        QProcess process;
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--sweep"),
                       inLines ? QStringLiteral("in-lines") : QStringLiteral("blocks"),
                       folder.path()});
        if (!process.waitForFinished(-1) || process.exitCode() != 0)
            continue;
        for (const QByteArray &figure : process.readAllStandardOutput().simplified().split(' '))
            figures[inLines ? 0 : 1].append(figure.toDouble());
    }
    if (figures[0].size() != 2 || figures[1].size() != 2) {
        out << QStringLiteral("  the sweep failed\n");
        return;
    }
    out << QStringLiteral("  in lines %1 s, costliest width %2 ms; as blocks %3 s, costliest "
                          "width %4 ms   (%5 times the processor time)\n")
               .arg(figures[0][0], 0, 'f', 2)
               .arg(figures[0][1], 0, 'f', 0)
               .arg(figures[1][0], 0, 'f', 2)
               .arg(figures[1][1], 0, 'f', 0)
               .arg(figures[0][0] / figures[1][0], 0, 'f', 2);
}

} // namespace tolvaran::fixtures::bench
