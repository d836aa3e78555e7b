#include "helpers/ImagesBenchView.h"

#include "helpers/CountingLoader.h"
#include "markdown_view/MarkdownView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QList>
#include <QScrollBar>

#include <algorithm>

namespace tolvaran::fixtures::bench {

namespace {

// How long the view may take to load every picture before the figure is given up.
constexpr qint64 loadDeadlineMilliseconds = 600000;
// The longest the event loop waits for an event before a condition is looked at again.
constexpr int pollMilliseconds = 50;
// How long each screen of a read through and back stays quiet before the next.
constexpr qint64 screenQuietMilliseconds = 50;

} // namespace

bool processUntil(const std::function<bool()> &done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > loadDeadlineMilliseconds)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                    pollMilliseconds);
    }
    return true;
}

std::unique_ptr<markdown::MarkdownView> openView(CountingLoader &loader, int width,
                                                 const QString &markdown, const QUrl &folder)
{
    auto view = std::make_unique<markdown::MarkdownView>();
    view->setRemoteImageLoader(&loader);
    view->setTheme(markdown::Theme::gitHub());
    view->resize(width, viewHeight);
    view->show();
    view->setMarkdown(markdown, folder);
    return view;
}

bool settle(markdown::MarkdownView &view, const CountingLoader &loader, qint64 milliseconds)
{
    QElapsedTimer settling;
    settling.start();
    return processUntil([&] {
        view.viewport()->repaint();
        return settling.elapsed() >= milliseconds && loader.quiet(milliseconds);
    });
}

bool scrollThroughAndBack(markdown::MarkdownView &view, const CountingLoader &loader)
{
    QScrollBar *bar = view.verticalScrollBar();
    QList<int> tops;
    for (int top = 0; top <= bar->maximum() + bar->pageStep(); top += bar->pageStep())
        tops.append(top);
    QList<int> back = tops;
    std::reverse(back.begin(), back.end());
    tops += back;
    for (const int top : std::as_const(tops)) {
        bar->setValue(top);
        if (!settle(view, loader, screenQuietMilliseconds))
            return false;
    }
    return true;
}

QString document(int pictures, const std::function<QString(int)> &source, bool firstInLine)
{
    QString markdown = QStringLiteral("# Pictures\n\n");
    for (int i = 0; i < pictures; ++i) {
        const QString paragraphs =
            i == 0 && firstInLine
                ? QStringLiteral("Picture %1 stands in this line, ![picture %1](%2), among "
                                 "words.\n\n")
                : QStringLiteral("Picture %1:\n\n![picture %1](%2)\n\n");
        markdown += paragraphs.arg(i).arg(source(i));
    }
    return markdown;
}

} // namespace tolvaran::fixtures::bench
