// The memory a Markdown view takes for large pictures: a document naming one, and one naming
// forty, zero-filled 4096 by 4096 PNG files (about 65 KB each, 64 MiB each once decoded) from
// the document's folder; then one picture served over HTTP and named twenty times with
// different query strings (each address loaded and decoded on its own). The view is shown at
// 860 by 900 pixels in the GitHub theme, every picture loaded, and read from start to end a
// screen at a time. Each figure is the peak resident set of a process of its own (this program
// run with --resident and the name of the document), beside the goal for forty pictures.
#include "helpers/ResidentSet.h"
#include "markdown_view/MarkdownView.h"
#include "markdown_view/items/RemoteImageItem.h"
#include "support/network/LocalHttpServer.h"
#include "support/markdown/TestImages.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>

#include <functional>

namespace {

using namespace tolvaran;
using fixtures::LocalHttpServer;

constexpr QSize pictureSize{4096, 4096};
constexpr int width = 860;
constexpr int height = 900;
constexpr int manyPictures = 40;
constexpr int hostedNames = 20;
constexpr double goalMegabytes = 300;
// How long the view may take to load every picture before the figure is given up.
constexpr qint64 loadDeadlineMilliseconds = 600000;

const QString pictureName = QStringLiteral("picture%1.png");

// Runs the event loop until `done` holds; false when the deadline passed first.
bool processUntil(const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > loadDeadlineMilliseconds)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// Whether every picture of the view's document has arrived and taken its room.
bool allPicturesShown(const markdown::MarkdownView &view, int count)
{
    const markdown::DocumentLayout *layout = view.documentLayout();
    if (!layout || !layout->isComplete())
        return false;
    int shown = 0;
    const std::function<void(const markdown::BlockItem &)> visit =
        [&](const markdown::BlockItem &item) {
            if (dynamic_cast<const markdown::RemoteImageItem *>(&item) && !item.size().isEmpty())
                ++shown;
            for (const markdown::BlockItem::Child &child : item.children())
                visit(*child.item);
        };
    for (qsizetype index = 0; index < layout->laidOutCount(); ++index) {
        if (const markdown::BlockItem *item = layout->item(index))
            visit(*item);
    }
    return shown == count;
}

// Shows `markdown` (its pictures resolved against `folder`), waits for every picture and
// reads the document a screen at a time; false when the pictures did not all come.
bool showAndRead(const QString &markdown, const QUrl &folder, int pictures)
{
    markdown::MarkdownView view;
    view.setTheme(markdown::Theme::gitHub());
    view.resize(width, height);
    view.show();
    view.setMarkdown(markdown, folder);
    if (!processUntil([&] { return allPicturesShown(view, pictures); }))
        return false;
    QScrollBar *bar = view.verticalScrollBar();
    for (int top = 0; top <= bar->maximum() + bar->pageStep(); top += bar->pageStep()) {
        bar->setValue(top);
        view.viewport()->repaint();
        // The pictures this screen loads again, drawn.
        QApplication::processEvents();
        view.viewport()->repaint();
    }
    return true;
}

QString document(int pictures, const std::function<QString(int)> &source)
{
    QString markdown = QStringLiteral("# Pictures\n\n");
    for (int i = 0; i < pictures; ++i)
        markdown += QStringLiteral("Picture %1:\n\n![picture %1](%2)\n\n").arg(i).arg(source(i));
    return markdown;
}

// Measures the document `what` names in this process; prints the peak resident set in KiB.
int measure(const QString &what, const QString &folderPath)
{
    const QUrl folder = QUrl::fromLocalFile(folderPath + u'/');
    const auto inFolder = [](int) { return pictureName.arg(0); };
    bool shown = false;
    if (what == QLatin1String("one")) {
        shown = showAndRead(document(1, inFolder), folder, 1);
    } else if (what == QLatin1String("many")) {
        shown = showAndRead(document(manyPictures, [](int i) { return pictureName.arg(i); }),
                            folder, manyPictures);
    } else {
        QFile file(QDir(folderPath).filePath(pictureName.arg(0)));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        LocalHttpServer server;
        if (!server.listen())
            return 1;
        server.setResponse(QStringLiteral("/picture.png"),
                           LocalHttpServer::Response::ok(file.readAll(), "image/png"));
        const QString url = server.url(QStringLiteral("/picture.png")).toString();
        shown = showAndRead(document(hostedNames, [&](int i) {
                                return QStringLiteral("%1?n=%2").arg(url).arg(i);
                            }),
                            folder, hostedNames);
    }
    if (!shown)
        return 1;
    QTextStream(stdout) << qint64(fixtures::bench::residentSet().peak * 1024) << '\n';
    return 0;
}

// The peak megabytes of `what`, measured in a process of its own whose downloads are cached
// under `cacheFolder`; negative when that failed.
double peakMegabytes(const QString &what, const QString &folder, const QString &cacheFolder)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), cacheFolder);
    process.setProcessEnvironment(environment);
    process.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--resident"), what, folder});
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        return -1;
    return process.readAllStandardOutput().trimmed().toDouble() / 1024;
}

QString megabytes(double value)
{
    return QStringLiteral("%1 MB").arg(value, 7, 'f', 1);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (const qsizetype resident = arguments.indexOf(QStringLiteral("--resident"));
        resident > 0)
        return measure(arguments.value(resident + 1), arguments.value(resident + 2));

    QTemporaryDir folder;
    QTemporaryDir cache;
    if (!folder.isValid() || !cache.isValid())
        return 1;
    const QByteArray picture = fixtures::pngImage(pictureSize, QColor(0, 0, 0, 0));
    for (int i = 0; i < manyPictures; ++i) {
        QFile file(QDir(folder.path()).filePath(pictureName.arg(i)));
        if (!file.open(QIODevice::WriteOnly) || file.write(picture) != picture.size())
            return 1;
    }
    QTextStream out(stdout);
    out << QStringLiteral("Markdown view with %1 x %2 pictures of %3 KB each, %4 x %5 px, "
                          "peak resident set, each in a process of its own:\n")
               .arg(pictureSize.width())
               .arg(pictureSize.height())
               .arg(picture.size() / 1024)
               .arg(width)
               .arg(height);
    out << QStringLiteral("  one picture                              ")
        << megabytes(peakMegabytes(QStringLiteral("one"), folder.path(), cache.path())) << '\n';
    out << QStringLiteral("  %1 pictures                              ").arg(manyPictures)
        << megabytes(peakMegabytes(QStringLiteral("many"), folder.path(), cache.path()))
        << QStringLiteral("   (goal: under %1 MB)\n").arg(goalMegabytes, 0, 'f', 0);
    out << QStringLiteral("  one hosted picture, %1 query strings     ").arg(hostedNames)
        << megabytes(peakMegabytes(QStringLiteral("hosted"), folder.path(), cache.path()))
        << '\n';
    return 0;
}
